#include "gateway/page.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "qvx/config/general.h"
#include "qvx/config/store.h"
#include "tests/support/support.h"

namespace qvx::gateway {
namespace {

using test::Crlf;

std::string GeneralSection(const std::map<std::string, std::string>& values) {
  std::string text = "[General]\n";
  for (const auto& key : GeneralKeys()) {
    const auto found = values.find(key);
    text += key + "= " + (found == values.end() ? "0" : found->second) + "\n";
  }
  return text;
}

const std::string kBody =
    "\n[TV]\n# Living room\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 50\nBITG= 1111\nBIT0= 10\n"
    "BIT1= 1000\nGREPEAT= 1\nG0011,Power\nG0110,Vol+\n"
    "\n[X10]\n# X10 modules\n/X10/*a1,Lamp\n"
    "\n[Application]\n# Applications\n"
    "\n[Monitoring]\n# Events\n"
    "\n[End]\n";

const std::string kConfig =
    Crlf(GeneralSection({{"IROUTENA", "1"}, {"X10ENA", "1"}, {"WINAMPENA", "1"},
                         {"MOUSEENA", "1"}, {"KEYBOARDENA", "1"}, {"BTENA", "1"}}) +
         kBody);

// Everything written to a temporary file; closes it.
std::string Contents(std::FILE* file) {
  std::string data(static_cast<std::size_t>(::lseek(::fileno(file), 0, SEEK_END)), '\0');
  const ssize_t got = ::pread(::fileno(file), data.data(), data.size(), 0);
  std::fclose(file);
  data.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return data;
}

// Runs one request against a configuration text and returns what went to the output file.
class Gateway : public ::testing::Test {
 protected:
  std::string Page(PageKind kind, std::map<std::string, std::string> env, std::string body = "",
                   const std::string& config = kConfig) {
    test::WriteFile(dir / "pelgrin.cfg", config);
    ConfigStore store;
    store.path = dir / "pelgrin.cfg";
    std::FILE* file = std::tmpfile();
    CgiOutput out{platform::OutputStream(::fileno(file))};
    std::size_t offset = 0;
    RunGateway(
        kind,
        [&](const char* name) -> const char* {
          const auto found = env.find(name);
          return found == env.end() ? nullptr : found->second.c_str();
        },
        [&](std::size_t wanted) {
          const std::string part = body.substr(offset, std::min(wanted, body.size() - offset));
          offset += part.size();
          return part;
        },
        out, store, [&](ConfigStore& s) {
          sent.push_back(s.currentDevice + "|" + s.currentCommand);
          return result;
        });
    return Contents(file);
  }
  static std::map<std::string, std::string> Post(const std::string& body) {
    return {{"REQUEST_METHOD", "POST"},
            {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
            {"CONTENT_LENGTH", std::to_string(body.size())},
            {"SCRIPT_NAME", "/cgi-bin/qvxweb.cgi"}};
  }

  test::TempDir dir;
  std::vector<std::string> sent;
  std::string result = "TV Power sent.";
};

const std::string kWapHead =
    "Content-type: text/vnd.wap.wml\n\n<?xml version=\"1.0\"?>\n"
    "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
    "\"http://www.wapforum.org/DTD/wml_1.1.xml\">\n<wml>\n";

const std::string kWapTemplate =
    "<template>\n"
    "<do type=\"accept\" name=\"load\" label=\"Load\">\n"
    "<go method=\"post\" href=\"qvxwap.cgi\">\n"
    "<postfield name=\"devlist\" value=\"$(devlist)\"/>\n"
    "<postfield name=\"cmdlist\" value=\"$(cmdlist)\"/>\n"
    "<postfield name=\"sendcmd\" value=\"xxx\"/>\n"
    "</go></do>\n"
    "<do type=\"accept\" name=\"sendcmd\" label=\"Send\">\n"
    "<go method=\"post\" href=\"qvxwap.cgi\">\n"
    "<postfield name=\"devlist\" value=\"$(devlist)\"/>\n"
    "<postfield name=\"cmdlist\" value=\"$(cmdlist)\"/>\n"
    "<postfield name=\"sendcmd\" value=\"send\"/>\n"
    "</go></do>\n"
    "</template>\n";

TEST_F(Gateway, FirstWapRequestListsDevicesAndSendsNothing) {
  const std::string expected = Crlf(
      kWapHead + kWapTemplate +
      "<card id=\"qvx\" title=\"Zarvel\">\n<p>\nDevice:<br/>\n"
      "<select name=\"devlist\" value=\"devlist\" title=\"devlist:\">\n"
      "<option value=\"TV\" >TV</option>\n"
      "<option value=\"X10&#38;Lamp\" >X10&#38;Lamp</option>\n"
      "<option value=\"Winamp\" >Winamp</option>\n\n"
      "</select><br/>\nCommand:<br/>\n"
      "<select name=\"cmdlist\" value=\"cmdlist\" title=\"cmdlist:\">\n"
      "<option value=\"none\" >none</option>\n\n"
      "</select><br/>\n<b></b><br/>\n</p>\n</card>\n</wml>\n");
  EXPECT_EQ(Page(PageKind::Wap, {}), expected);
  EXPECT_TRUE(sent.empty());
}

TEST_F(Gateway, WapLoadRefreshesTheCommandsAndSendSends) {
  const std::string load = "devlist=X10%26Lamp&cmdlist=On&sendcmd=xxx";
  std::string page = Page(PageKind::Wap, Post(load), load);
  EXPECT_NE(page.find("<option value=\"All-U-Off\" >All-U-Off</option>\r\n"), std::string::npos);
  EXPECT_NE(page.find("<b></b><br/>\r\n"), std::string::npos);
  EXPECT_TRUE(sent.empty());

  result = "X10-lamp On.";
  const std::string send = "devlist=X10%26Lamp&cmdlist=On&sendcmd=SEND";
  page = Page(PageKind::Wap, Post(send), send);
  EXPECT_EQ(sent, std::vector<std::string>{"X10&Lamp|On"});
  EXPECT_NE(page.find("</select><br/>\r\n<b>X10-lamp On.</b><br/>\r\n</p>\r\n</card>\r\n</wml>\r\n"),
            std::string::npos);
}

TEST_F(Gateway, WebPageMarksTheChoiceAndColoursTheResult) {
  const std::string body = "DevList=tv&CmdList=VOL%2B&SendCmd=Send";
  const std::string expected = Crlf(
      "Content-type: text/html\n\n<HTML><HEAD><TITLE>Web based Zarvel Sender v1.0.0"
      "</TITLE></HEAD>\n<BODY>\n"
      "<form action=\"qvxweb.cgi\" method=\"post\" name=\"ProtForm\" id=\"prot_form\">\n"
      "<b>Device:</b><br>\n<select name=\"DevList\" size=\"1\" single >\n"
      "<option value=\"TV\"  selected>TV</option>\n"
      "<option value=\"X10&amp;Lamp\" >X10&amp;Lamp</option>\n"
      "<option value=\"Winamp\" >Winamp</option>\n\n"
      "</select><br>\n<b>Command:</b><br>\n<select name=\"CmdList\" size=\"1\" single >\n"
      "<option value=\"Power\" >Power</option>\n"
      "<option value=\"Vol+\"  selected>Vol+</option>\n\n"
      "</select><br>\n"
      "<input name=\"LoadList\" type=\"submit\" id=\"btn_load\" value=\"Load\">\n"
      "<input name=\"SendCmd\" type=\"submit\" id=\"btn_send\" value=\"Send\"><br>\n"
      "</form>\n<b>TV Power sent.</b><br/>\n<body bgcolor=\"#00FF00\">\n</BODY></HTML>\n");
  EXPECT_EQ(Page(PageKind::Web, Post(body), body), expected);
  EXPECT_EQ(sent, std::vector<std::string>{"tv|VOL+"});

  result = "Infrared output is disabled!";
  EXPECT_NE(Page(PageKind::Web, Post(body), body).find("<body bgcolor=\"#FF0000\">"),
            std::string::npos);
  result = "no mark";
  EXPECT_NE(Page(PageKind::Web, Post(body), body).find("<body bgcolor=\"#FFFFFF\">"),
            std::string::npos);
  // The Load button sends nothing and leaves the page white.
  const std::string load = "DevList=TV&CmdList=Power&LoadList=Load";
  const std::string page = Page(PageKind::Web, Post(load), load);
  EXPECT_NE(page.find("<b></b><br/>\r\n<body bgcolor=\"#FFFFFF\">"), std::string::npos);
  EXPECT_EQ(sent.size(), 3u);
}

TEST_F(Gateway, NamesWithMarkupCharactersCannotBreakThePage) {
  const std::string config = Crlf(GeneralSection({{"IROUTENA", "1"}}) +
                                  "\n[<b>\"x\"</b>]\n#\nGPROTO= 0\n"
                                  "G0011,<script>alert('$x')</script>\n\n[X10]\n#\n\n[End]\n");
  const std::string body = "DevList=%3Cb%3E%22x%22%3C%2Fb%3E&CmdList=none&SendCmd=send";
  result = "<i>done</i>.";
  std::string page = Page(PageKind::Web, Post(body), body, config);
  EXPECT_NE(page.find("<option value=\"&lt;b&gt;&quot;x&quot;&lt;/b&gt;\"  selected>"),
            std::string::npos) << page;
  EXPECT_NE(page.find(">&lt;script&gt;alert(&#39;$x&#39;)&lt;/script&gt;</option>"),
            std::string::npos) << page;
  EXPECT_NE(page.find("<b>&lt;i&gt;done&lt;/i&gt;.</b>"), std::string::npos);
  EXPECT_EQ(page.find("<script>"), std::string::npos);

  page = Page(PageKind::Wap, {}, "", config);
  EXPECT_NE(page.find(">&#60;b&#62;&#34;x&#34;&#60;/b&#62;</option>"), std::string::npos) << page;
}

TEST_F(Gateway, BrokenConfigurationsGiveTheirPages) {
  std::string noEnd = kConfig;
  noEnd.erase(noEnd.find("[End]"));
  EXPECT_EQ(Page(PageKind::Web, {}, "", noEnd),
            Crlf("Content-type: text/html\n\n<HTML><HEAD><TITLE>Web based Infrared Sender v1.0.0"
                 "</TITLE></HEAD>\n<BODY>\n<b>Configuration file Error!</b><br/>\n"
                 "</BODY></HTML>\n"));
  std::string noKey = kConfig;
  noKey.erase(noKey.find("WINAMPPATH"), 15);
  EXPECT_EQ(Page(PageKind::Wap, {}, "", noKey),
            Crlf(kWapHead + "<card id=\"qvx\" title=\"Zarvel\">\n<p>\nConfiguration file Error!\n"
                            "</p>\n</card>\n</wml>\n"));
  // Keys the gateways do not read may be missing.
  std::string noMonitor = kConfig;
  noMonitor.erase(noMonitor.find("MONITOR"), 12);
  EXPECT_NE(Page(PageKind::Wap, {}, "", noMonitor).find("<option value=\"TV\" >"),
            std::string::npos);
}

TEST_F(Gateway, ListsOnlyWhatTheGatewayKeysEnable) {
  // Infrared input does not list devices in the gateways, and Mouse, Keyboard and BT never show.
  const std::string config = Crlf(
      GeneralSection({{"IRINENA", "1"}, {"MOUSEENA", "1"}, {"KEYBOARDENA", "1"}, {"BTENA", "1"},
                      {"IRDIMENA", "1"}, {"APPLICATIONENA", "1"}}) + kBody);
  const std::string page = Page(PageKind::Wap, {}, "", config);
  const std::size_t start = page.find("title=\"devlist:\">\r\n");
  const std::size_t end = page.find("</select>", start);
  EXPECT_EQ(page.substr(start, end - start),
            "title=\"devlist:\">\r\n<option value=\"Application\" >Application</option>\r\n"
            "<option value=\"IR Dimmer\" >IR Dimmer</option>\r\n\r\n");
}

TEST_F(Gateway, RunTimeErrorsEndInTheErrorPage) {
  auto env = Post("DevList=%4G");
  const std::string page = Page(PageKind::Web, env, "DevList=%4G");
  EXPECT_EQ(page, Crlf("Content-type: text/html\n\n<HTML><HEAD><TITLE>Internal Error</TITLE>"
                       "</HEAD>\n<BODY>\n<H1>Error in /cgi-bin/qvxweb.cgi</H1>\n"
                       "The following internal error has occurred:\n"
                       "Invalid data passed to UrlDecode() function. Error Number =  65001\n"
                       "Please note what you were doing when this problem occurred, \n"
                       "so we can identify and correct it. Write down the Web page you were \n"
                       "using, any data you may have entered into a form or search box, \n"
                       "and anything else that may help us duplicate the problem.\n"
                       "Then contact the administrator of this service\n</BODY></HTML>\n"));
  env["SCRIPT_NAME"] = "/qvxwap.cgi";
  const std::string wap = Page(PageKind::Wap, env, "DevList=%4G");
  EXPECT_NE(wap.find("<wml>\r\n<card id=\"error\" title=\"Internal Error\">\r\n<p>\r\n"
                     "<b>Error in /qvxwap.cgi</b>\r\n"),
            std::string::npos) << wap;
  EXPECT_TRUE(wap.ends_with("</p>\r\n</card>\r\n</wml>\r\n"));
}

TEST_F(Gateway, AMissingConfigurationFileIsAnError) {
  ConfigStore store;
  store.path = dir / "absent.cfg";
  std::FILE* file = std::tmpfile();
  CgiOutput out{platform::OutputStream(::fileno(file))};
  out.SendLine("half a page that must disappear");
  RunGateway(PageKind::Web, [](const char*) -> const char* { return nullptr; },
             [](std::size_t) { return std::string(); }, out, store,
             [](ConfigStore&) { return std::string(); });
  const std::string page = Contents(file);
  EXPECT_EQ(page.find("half a page"), std::string::npos);
  EXPECT_NE(page.find("File not found: " + store.path.string() + " Error Number =  53"),
            std::string::npos) << page;
}

}  // namespace
}  // namespace qvx::gateway
