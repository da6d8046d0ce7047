// The gateways as a browser and a phone reach them: through a real web server (lighttpd with
// mod_cgi) on loopback, with the simulated infrared port and X10 interface behind them.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <map>
#include <thread>

#include "platform/sim/cm11_peer.h"
#include "platform/sim/pty_bridge.h"
#include "platform/sim/standard_peers.h"
#include "qvx/ircode/deviceparams.h"
#include "qvx/ircode/pulsetext.h"
#include "tests/support/gateway_server.h"
#include "tests/support/support.h"

namespace qvx::gateway {
namespace {

using test::HttpResponse;

// lighttpd serving both gateways from a fresh directory, with the given environment.
class WebRemote : public ::testing::Test {
 protected:
  void Start(const std::map<std::string, std::string>& environment,
             const std::string& configEdit = "", const std::string& replacement = "") {
    ASSERT_TRUE(server_.Start(dir_.path(), test::DeliveredConfigWith(configEdit, replacement),
                              environment))
        << server_.ErrorLog();
  }
  HttpResponse Get(const std::string& path) { return server_.Get(path); }
  HttpResponse Post(const std::string& path, const std::string& body) {
    return server_.Post(path, body);
  }

  test::TempDir dir_;
  test::GatewayServer server_;
};

bool WellFormedXml(const std::filesystem::path& file) {
  return std::system(("xmllint --noout '" + file.string() + "' 2>/dev/null").c_str()) == 0;
}

TEST_F(WebRemote, ServesBothPagesForGetAndPost) {
  Start({});
  HttpResponse page = Get("/qvxweb.cgi");
  ASSERT_EQ(page.status, 200);
  EXPECT_NE(page.headers.find("Content-type: text/html"), std::string::npos) << page.headers;
  EXPECT_NE(page.body.find("<option value=\"TV\" >TV</option>\r\n"), std::string::npos);
  EXPECT_NE(page.body.find("<body bgcolor=\"#FFFFFF\">"), std::string::npos);

  page = Post("/qvxweb.cgi", "DevList=VCR&CmdList=Play&LoadList=Load");
  EXPECT_NE(page.body.find("<option value=\"VCR\"  selected>VCR</option>"), std::string::npos);
  EXPECT_NE(page.body.find("<option value=\"Play\"  selected>Play</option>"), std::string::npos);

  page = Post("/qvxwap.cgi", "devlist=X10%26Lamp&cmdlist=On&sendcmd=xxx");
  ASSERT_EQ(page.status, 200);
  EXPECT_NE(page.headers.find("Content-type: text/vnd.wap.wml"), std::string::npos);
  EXPECT_NE(page.body.find("<option value=\"X10&#38;Lamp\" >X10&#38;Lamp</option>"), std::string::npos);
  EXPECT_NE(page.body.find("<option value=\"All-L-Off\" >All-L-Off</option>"), std::string::npos);
  test::WriteFile(dir_ / "deck.wml", page.body);
  EXPECT_TRUE(WellFormedXml(dir_ / "deck.wml")) << page.body;

  // The server mends a bad escape in a query string, but not in a body; the error page a phone
  // gets is well-formed too.
  page = Post("/qvxwap.cgi", "devlist=%4G");
  EXPECT_NE(page.body.find("Error Number =  65001"), std::string::npos) << page.body;
  test::WriteFile(dir_ / "error.wml", page.body);
  EXPECT_TRUE(WellFormedXml(dir_ / "error.wml")) << page.body;
}

TEST_F(WebRemote, SendsACommandAsLightOnTheSimulatedTransmitter) {
  const auto capture = dir_ / "capture.txt";
  Start({{"QVX_COM1", "sim:ir"}, {"QVX_SIM_CLOCK", "virtual"}, {"QVX_SIM_CAPTURE", capture.string()}});
  const HttpResponse page = Post("/qvxweb.cgi", "DevList=TV&CmdList=Power&SendCmd=Send");
  EXPECT_NE(page.body.find("<b>TV Power executed.</b><br/>\r\n<body bgcolor=\"#00FF00\">"),
            std::string::npos) << page.body;

  const auto events = platform::sim::ReadCaptureFile(capture);
  ASSERT_FALSE(events.empty());
  const auto marks = platform::sim::DtrLight(events, events.back().endNs);
  const auto params = ircode::DeviceParamsFromTexts("0", "550", "50", "111111111111111100000000",
                                                    "10", "1000", "1");
  bool toggle = false;
  const std::string pulse =
      ircode::BuildPulseString("00100000110111110001000011101111", *params, toggle);
  std::vector<int64_t> expected;  // mark lengths in slots
  for (std::size_t i = 0; i < pulse.size();) {
    const std::size_t end = std::min(pulse.find_first_not_of(pulse[i], i), pulse.size());
    if (pulse[i] == '1') expected.push_back(static_cast<int64_t>(end - i));
    i = end;
  }
  std::vector<int64_t> emitted;  // the opening of the port raises DTR for an instant: no slot
  for (const auto& mark : marks)
    if (const int64_t slots = ((mark.endNs - mark.startNs) + 275'000) / 550'000; slots > 0)
      emitted.push_back(slots);
  EXPECT_EQ(emitted, expected);
}

TEST_F(WebRemote, SendsX10ThroughTheRealSerialCodeToASimulatedCm11) {
  platform::sim::Cm11Interface cm11;
  platform::sim::PtyBridge bridge(cm11);
  ASSERT_TRUE(bridge.Ok());
  Start({{"QVX_COM2", bridge.PortPath()}}, "X10COM= 0", "X10COM= 2");
  auto reply = std::async(std::launch::async, [&] {
    return Post("/qvxweb.cgi", "DevList=X10%26Lamp&CmdList=On&SendCmd=Send");
  });
  // The interface answers in real time while the gateway polls it.
  while (reply.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
    bridge.Settle(platform::RealClock().NowNs());
  EXPECT_NE(reply.get().body.find("<b>X10-lamp On.</b>"), std::string::npos);
  EXPECT_EQ(cm11.Received(), (std::vector<uint8_t>{0x04, 0x66, 0x00, 0x06, 0x62, 0x00}));
}

TEST_F(WebRemote, APortHeldByTheMainProgramFailsTheSendCleanly) {
  platform::sim::Cm11Interface idle;
  platform::sim::PtyBridge terminal(idle);  // any terminal will do as the infrared port
  ASSERT_TRUE(terminal.Ok());
  const platform::PortHandle held = platform::OpenSerialTarget(terminal.PortPath());
  ASSERT_GT(held, 0);
  Start({{"QVX_COM1", terminal.PortPath()}});
  const HttpResponse page = Post("/qvxweb.cgi", "DevList=TV&CmdList=Power&SendCmd=Send");
  EXPECT_NE(page.body.find("<b>Cannot open COM port for infrared interface!</b><br/>\r\n"
                           "<body bgcolor=\"#FF0000\">"),
            std::string::npos) << page.body;
  platform::ClosePort(held);
}

}  // namespace
}  // namespace qvx::gateway
