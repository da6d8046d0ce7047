// Hostile requests against the built gateways: run as CGI programs with the environment and
// body a web server would hand them, and through lighttpd where the server has its say. Every
// request ends in a page or a refusal, in time, without a signal, without markup of the
// request in the page, and without touching the configuration or its directory.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/gateway_server.h"
#include "tests/support/support.h"

namespace qvx::gateway {
namespace {

namespace fs = std::filesystem;

// Ends a run that hangs; a request takes milliseconds.
constexpr int kDeadlineMs = 20'000;

const std::string kUrlDecodeFailure =
    "Invalid data passed to UrlDecode() function. Error Number =  65001";
const std::string kTooLarge = "The request is larger than 65536 bytes. Error Number =  413";
const std::string kWebErrorPage = "<H1>Error in /qvxweb.cgi</H1>";
const std::string kWapErrorPage = "<b>Error in /qvxwap.cgi</b>";
const std::string kEmptyResult = "<b></b><br/>";
const std::string kNoApplication = "<b>Error handling application!</b>";
const std::string kNotSent = "<b>Error sending infrared command!</b>";  // no such device

// A device whose stored names are markup, as the main program lets a user type them.
const std::string kMarkupDevice =
    "[<i>Hi-Fi</i> \"A&B\"]\r\n# Markup in its names\r\nGPROTO= 0\r\nSENDPLS= 550\r\n"
    "REPEAT= 50\r\nBITG= 111111111111111100000000\r\nBIT0= 10\r\nBIT1= 1000\r\nGREPEAT= 1\r\n"
    "G00100000110111110001000011101111,<b>Power</b>\r\n\r\n";
const std::string kMarkupFields =
    "=%3Ci%3EHi-Fi%3C%2Fi%3E+%22A%26B%22&CmdList=%3Cb%3EPower%3C%2Fb%3E";

enum class Route { Cgi, Server };

// One hostile request and what must come of it; the setters keep the table readable.
struct Row {
  std::string name;
  Route route = Route::Cgi;
  std::string program = "qvxweb.cgi";
  std::string method = "POST";
  std::string query;
  std::optional<std::string> contentLength;  // CONTENT_LENGTH; the body's size when unset
  bool unsetLength = false;                  // no CONTENT_LENGTH at all
  std::string body;
  std::string scriptName;             // SCRIPT_NAME; "/" and the program when empty
  std::vector<std::string> expected;  // texts the answer carries
  std::vector<std::string> absent;    // texts it must not carry (the request's markup)
  int status = 200;                   // the server's answer (Route::Server)

  explicit Row(std::string rowName) : name(std::move(rowName)) {}
  Row& Server(int answer = 200) { route = Route::Server; status = answer; return *this; }
  Row& Wap() { program = "qvxwap.cgi"; return *this; }
  Row& Method(std::string text) { method = std::move(text); return *this; }
  Row& Query(std::string text) { query = std::move(text); return *this; }
  Row& Length(std::string text) { contentLength = std::move(text); return *this; }
  Row& NoLength() { unsetLength = true; return *this; }
  Row& Body(std::string text) { body = std::move(text); return *this; }
  Row& Script(std::string text) { scriptName = std::move(text); return *this; }
  Row& Expect(std::vector<std::string> texts) { expected = std::move(texts); return *this; }
  Row& Absent(std::vector<std::string> texts) { absent = std::move(texts); return *this; }
};

std::string Repeat(const std::string& text, std::size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

class HostileRequests : public ::testing::Test {
 protected:
  void SetUp() override {
    environment_ = test::SimulatedPortsIn(dir_.path());
    ASSERT_TRUE(server_.Start(dir_.path(),
                              test::DeliveredConfigWith("[X10]", kMarkupDevice + "[X10]"),
                              environment_))
        << server_.ErrorLog();
  }

  // The answer of one row: a CGI run's output, or the server's response as raw text.
  std::string Answer(const Row& row) {
    if (row.route == Route::Server) {
      const test::HttpResponse response =
          test::HttpRequest(server_.port(), row.method, "/" + row.program + row.query, row.body);
      EXPECT_EQ(response.status, row.status);
      return response.headers + "\r\n" + response.body;
    }
    std::vector<std::string> env = {"GATEWAY_INTERFACE=CGI/1.1", "SERVER_PROTOCOL=HTTP/1.1",
                                    "REQUEST_METHOD=" + row.method,
                                    "SCRIPT_NAME=" + (row.scriptName.empty()
                                                          ? "/" + row.program
                                                          : row.scriptName),
                                    "CONTENT_TYPE=application/x-www-form-urlencoded",
                                    "QUERY_STRING=" + row.query};
    if (!row.unsetLength)
      env.push_back("CONTENT_LENGTH=" +
                    row.contentLength.value_or(std::to_string(row.body.size())));
    env.push_back("QVX_AUDIO_DEVICE=none");  // as the server hands it
    for (const auto& [name, value] : environment_) env.push_back(name + "=" + value);
    const fs::path www = server_.ConfigPath().parent_path();
    const test::ProgramRun run =
        test::RunProgram({(www / row.program).string()}, env, row.body, www, kDeadlineMs);
    EXPECT_TRUE(run.waitStatus.has_value()) << "still running after " << kDeadlineMs << " ms";
    if (run.waitStatus) {
      EXPECT_TRUE(WIFEXITED(*run.waitStatus)) << "ended by signal " << WTERMSIG(*run.waitStatus);
      EXPECT_EQ(WEXITSTATUS(*run.waitStatus), 0);
    }
    EXPECT_TRUE(run.out.starts_with("Content-type: ")) << run.out.substr(0, 200);
    return run.out;
  }

  test::TempDir dir_;
  test::GatewayServer server_;
  std::map<std::string, std::string> environment_;
};

TEST_F(HostileRequests, EndInAPageOrARefusalAndLeaveTheConfigurationAlone) {
  const std::string script = "<script>alert(1)</script>";
  const std::string tenMegabytes = "DevList=TV&CmdList=" + std::string(10 << 20, 'A');
  const Row rows[] = {
      // Sizes: a body beyond the largest one is refused before it is read.
      Row("10 MB body").Body(tenMegabytes).Expect({kWebErrorPage, kTooLarge}),
      Row("10 MB body through the server").Server().Body(tenMegabytes)
          .Expect({kWebErrorPage, kTooLarge}),
      Row("100 kB query (an environment takes at most 128 kB)").Method("GET")
          .Query("DevList=" + std::string(100'000, 'A')).Expect({kEmptyResult}),
      Row("1 MB query through the server").Server(431).Method("GET")
          .Query("?DevList=" + std::string(1 << 20, 'A')),
      Row("30000 fields").Method("GET").Query(Repeat("a=&", 30'000)).Expect({kEmptyResult}),
      // Bad escapes end in the error page; %00 is a byte like any other.
      Row("lone %").Body("DevList=%").Expect({kWebErrorPage, kUrlDecodeFailure}),
      Row("%4").Wap().Body("devlist=%4").Expect({kWapErrorPage, kUrlDecodeFailure}),
      Row("%zz in the query").Method("GET").Query("DevList=%zz")
          .Expect({kWebErrorPage, kUrlDecodeFailure}),
      Row("%00 in a sent device").Body("DevList=TV%00&CmdList=Power&SendCmd=Send")
          .Expect({kNotSent}),
      Row("NUL bytes in the body")
          .Body(std::string("DevList=TV\0<b>&CmdList=Po\0wer&SendCmd=Send", 42))
          .Expect({kNotSent}).Absent({std::string("\0<b>", 4)}),
      // CONTENT_LENGTH: only digits count; a body shorter than declared ends with the input.
      Row("POST without CONTENT_LENGTH").NoLength().Body("DevList=VCR")
          .Expect({kEmptyResult}).Absent({"selected>VCR"}),
      Row("negative CONTENT_LENGTH").Length("-5").Body("DevList=VCR")
          .Expect({kEmptyResult}).Absent({"selected>VCR"}),
      Row("non-numeric CONTENT_LENGTH").Length("ten").Body("DevList=VCR")
          .Expect({kEmptyResult}).Absent({"selected>VCR"}),
      Row("CONTENT_LENGTH beyond the body").Length("60000").Body("DevList=VCR&CmdList=Play")
          .Expect({"<option value=\"Play\"  selected>"}),
      Row("body of the largest length").Body("DevList=VCR&x=" + std::string(65536 - 14, 'x'))
          .Expect({"<option value=\"VCR\"  selected>"}),
      Row("one byte more declared").Length("65537").Body("DevList=VCR")
          .Expect({kWebErrorPage, "The request is larger than 65536 bytes."}),
      Row("CONTENT_LENGTH of 20 digits").Length("99999999999999999999").Body("DevList=VCR")
          .Expect({kWebErrorPage, kTooLarge}),
      // Methods: only "POST" has a body; anything else is served from the query string.
      Row("lower-case post").Method("post").Query("DevList=Amp").Body("DevList=VCR")
          .Expect({"<option value=\"Amp\"  selected>"}).Absent({"selected>VCR"}),
      Row("unknown method").Method("BREW").Query("DevList=VCR")
          .Expect({"<option value=\"VCR\"  selected>"}),
      Row("empty method").Method("").Expect({kEmptyResult}),
      Row("unknown method through the server").Server(501).Method("BREW"),
      // Markup in the fields is shown as text, never as markup.
      Row("script as device").Body("DevList=" + script + "&CmdList=Power&SendCmd=Send")
          .Expect({kNotSent}).Absent({script}),
      Row("markup in a stored device and command, sent")
          .Body("DevList" + kMarkupFields + "&SendCmd=Send")
          .Expect({"<option value=\"&lt;b&gt;Power&lt;/b&gt;\"  selected>",
                   "<b>&lt;i&gt;Hi-Fi&lt;/i&gt; &quot;A&amp;B&quot; &lt;b&gt;Power&lt;/b&gt; "
                   "executed.</b>"})
          .Absent({"<i>Hi-Fi", "<b>Power"}),
      Row("markup in a stored device and command, sent from the deck").Wap()
          .Body("devlist" + kMarkupFields + "&sendcmd=send")
          .Expect({"<option value=\"&#60;b&#62;Power&#60;/b&#62;\" >",
                   "<b>&#60;i&#62;Hi-Fi&#60;/i&#62; &#34;A&#38;B&#34; &#60;b&#62;Power&#60;/b&#62; "
                   "executed.</b>"})
          .Absent({"<i>Hi-Fi", "<b>Power"}),
      Row("quotes and ampersands as command")
          .Body("DevList=Application&CmdList=%22+onmouseover%3D%22x%26amp%3B&SendCmd=Send")
          .Expect({kNoApplication}).Absent({"\" onmouseover=\""}),
      Row("markup in an X10 module, WAP").Wap()
          .Body("devlist=X10%26%3Cb%3E&cmdlist=%24(devlist)%3Ci%3E&sendcmd=send")
          .Absent({"<b>&<b>", "<i>", "$(devlist)<"}),
      Row("markup in the script name").Method("GET").Query("DevList=%G")
          .Script("/qvxweb.cgi/<script>")
          .Expect({"<H1>Error in /qvxweb.cgi/&lt;script&gt;</H1>", kUrlDecodeFailure}),
      // Paths are names like any other: nothing is opened by them.
      Row("relative path as device")
          .Body("DevList=..%2F..%2Fetc%2Fpasswd&CmdList=Power&SendCmd=Send")
          .Expect({kNotSent}),
      Row("absolute path as application")
          .Body("DevList=Application&CmdList=%2Fbin%2Fsh&SendCmd=Send").Expect({kNoApplication}),
      Row("configuration file as device and command")
          .Body("DevList=pelgrin.cfg&CmdList=..%2Fpelgrin.cfg&SendCmd=Send")
          .Expect({kNotSent}),
  };


  const std::string config = test::ReadFile(server_.ConfigPath());
  const fs::path www = server_.ConfigPath().parent_path();
  const std::set<std::string> listing = Listing(www);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string answer = Answer(row);
    for (const auto& text : row.expected)
      EXPECT_NE(answer.find(text), std::string::npos) << text << "\n" << answer.substr(0, 3000);
    for (const auto& text : row.absent)
      EXPECT_EQ(answer.find(text), std::string::npos) << text << "\n" << answer.substr(0, 3000);
    EXPECT_EQ(answer.find("<script>"), std::string::npos);
    EXPECT_EQ(test::ReadFile(server_.ConfigPath()), config);
    EXPECT_EQ(Listing(www), listing);
  }
  // The server outlived every row.
  EXPECT_EQ(server_.Get("/qvxweb.cgi").status, 200);
}

// The configuration lies next to the gateways, which read it there; the server hands out the
// gateways' pages and nothing else of the folder, however the file is asked for.
TEST_F(HostileRequests, TheServerNeverHandsOutTheConfiguration) {
  const fs::path www = server_.ConfigPath().parent_path();
  test::WriteFile(www / "pelgrin.cfg.qvxtmp-a1b2c3", test::ReadFile(server_.ConfigPath()));
  for (const char* path : {"/pelgrin.cfg", "/%70elgrin.cfg", "/./pelgrin.cfg",
                           "/x/../pelgrin.cfg", "/pelgrin.cfg?x=.cgi", "/pelgrin.cfg.qvxtmp-a1b2c3"}) {
    SCOPED_TRACE(path);
    const test::HttpResponse response = server_.Get(path);
    EXPECT_EQ(response.status, 403);
    EXPECT_EQ(response.body.find("[General]"), std::string::npos);
  }
  EXPECT_EQ(server_.Get("/").status, 200);
  EXPECT_EQ(server_.Get("/qvxwap.cgi").status, 200);
}

}  // namespace
}  // namespace qvx::gateway
