// Feeds a whole CGI request, its environment and its body, to the page code of both gateways
// (RunGateway of qvxwap and qvxweb) over a fixed configuration, with sending switched to a sink
// that records the command and answers with a text made of it, as the X10 output does.
//
// Input: NUL-separated REQUEST_METHOD, CONTENT_TYPE, CONTENT_LENGTH, QUERY_STRING and
// SCRIPT_NAME, then the body (which may hold NULs); a variable the input does not reach is
// unset. The body arrives in pieces of at most 13 bytes, as a pipe may deliver it.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "gateway/page.h"
#include "qvx/config/general.h"
#include "qvx/config/store.h"
#include "qvx/config/text.h"

namespace qvx::fuzz {
namespace {

using gateway::PageKind;

constexpr std::size_t kBodyPiece = 13;

std::string Configuration() {
  std::string text = "[General]\r\n";
  for (const auto& key : GeneralKeys()) {
    const bool on = key == "IROUTENA" || key == "X10ENA" || key == "WINAMPENA" ||
                    key == "MOUSEENA" || key == "KEYBOARDENA" || key == "BTENA";
    text += key + "= " + (on ? "1" : "0") + "\r\n";
  }
  return text +
         "\r\n[TV]\r\n# Living room\r\nGPROTO= 0\r\nSENDPLS= 550\r\nREPEAT= 50\r\nBITG= 1111\r\n"
         "BIT0= 10\r\nBIT1= 1000\r\nGREPEAT= 1\r\nG0011,Power\r\nG0110,Vol+\r\n"
         "\r\n[X10]\r\n# X10 modules\r\n/X10/*a1,Lamp\r\n/X10/*b2,Porch & \"Door\"\r\n"
         "\r\n[Application]\r\n# Applications\r\n/usr/bin/true,Run\r\n"
         "\r\n[Monitoring]\r\n# Events\r\n"
         "\r\n[End]\r\n";
}

// The page file, rewound and emptied before every request.
int PageFile() {
  static const int fd = [] {
    const int created = ::memfd_create("qvx-fuzz-page", 0);
    Check(created >= 0, "a memory file for the page");
    return created;
  }();
  return fd;
}

std::string PageText() {
  const int fd = PageFile();
  std::string page(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
  const ssize_t got = ::pread(fd, page.data(), page.size(), 0);
  page.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return page;
}

// Every tag of the page is one the page code writes itself: no text from the request or the
// configuration can open a tag of its own.
void CheckTags(std::string_view page, PageKind kind) {
  static constexpr std::array<std::string_view, 12> kWeb = {
      "HTML", "HEAD", "TITLE", "BODY", "form", "b", "br", "select", "option", "input", "body", "H1"};
  static constexpr std::array<std::string_view, 13> kWap = {
      "?xml", "!DOCTYPE", "wml", "template", "do", "go", "postfield", "card", "p", "br",
      "select", "option", "b"};
  for (std::size_t lt = page.find('<'); lt != std::string_view::npos; lt = page.find('<', lt + 1)) {
    std::size_t start = lt + 1;
    if (start < page.size() && page[start] == '/') ++start;
    std::size_t end = start;
    while (end < page.size() && (std::isalnum(static_cast<unsigned char>(page[end])) ||
                                 page[end] == '?' || page[end] == '!'))
      ++end;
    const std::string_view name = page.substr(start, end - start);
    const auto listedIn = [&](const auto& known) {
      return std::find(known.begin(), known.end(), name) != known.end();
    };
    const bool listed = kind == PageKind::Web ? listedIn(kWeb) : listedIn(kWap);
    Check(listed, "a tag of the page's own");
    const std::size_t close = page.find('>', lt);
    Check(close != std::string_view::npos, "every tag is closed");
    // Inside a tag, quotes pair up: no value leaks out of its attribute.
    const std::string_view tag = page.substr(lt, close - lt);
    Check(std::count(tag.begin(), tag.end(), '"') % 2 == 0, "attribute quotes pair up");
  }
}

// In WML a "$" starts a variable; the page's own are $(devlist) and $(cmdlist), every other
// one is written "$$".
void CheckDollars(std::string_view page) {
  for (std::size_t i = page.find('$'); i != std::string_view::npos; i = page.find('$', i + 1)) {
    const std::string_view rest = page.substr(i);
    if (rest.starts_with("$$")) {
      ++i;
      continue;
    }
    Check(rest.starts_with("$(devlist)") || rest.starts_with("$(cmdlist)"),
          "a WML variable of the page's own");
  }
}

void CheckPage(std::string_view page, PageKind kind) {
  const std::string_view head =
      kind == PageKind::Wap ? "Content-type: text/vnd.wap.wml\r\n\r\n" : "Content-type: text/html\r\n\r\n";
  Check(page.starts_with(head), "the page starts with its content type");
  Check(page.ends_with(kind == PageKind::Wap ? "</wml>\r\n" : "</BODY></HTML>\r\n"),
        "the page is complete");
  const std::string_view markup = page.substr(head.size());
  CheckTags(markup, kind);
  if (kind == PageKind::Wap) CheckDollars(markup);
  std::size_t options = 0, closed = 0;
  for (std::size_t at = markup.find("<option"); at != std::string_view::npos; at = markup.find("<option", at + 1)) ++options;
  for (std::size_t at = markup.find("</option>"); at != std::string_view::npos; at = markup.find("</option>", at + 1)) ++closed;
  Check(options == closed, "every option is closed");
}

}  // namespace
}  // namespace qvx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace qvx;
  using namespace qvx::fuzz;
  static const std::filesystem::path config = WriteScratchFile("gateway.cfg", Configuration());

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  constexpr std::array<const char*, 5> kNames = {"REQUEST_METHOD", "CONTENT_TYPE", "CONTENT_LENGTH",
                                                 "QUERY_STRING", "SCRIPT_NAME"};
  std::array<std::optional<std::string>, kNames.size()> values;
  std::size_t start = 0;
  for (auto& value : values) {
    const std::size_t nul = input.find('\0', start);
    if (nul == std::string_view::npos) break;
    value = std::string(input.substr(start, nul - start));
    start = nul + 1;
  }
  const std::string_view body = start <= input.size() && values.back() ? input.substr(start) : "";

  for (const PageKind kind : {PageKind::Wap, PageKind::Web}) {
    Check(::ftruncate(PageFile(), 0) == 0 && ::lseek(PageFile(), 0, SEEK_SET) == 0,
          "the page file is emptied");
    ConfigStore store;
    store.path = config;
    gateway::CgiOutput out{platform::OutputStream(PageFile())};
    std::size_t offset = 0;
    int sends = 0;
    gateway::RunGateway(
        kind,
        [&](const char* name) -> const char* {
          for (std::size_t i = 0; i < kNames.size(); ++i)
            if (std::string_view(name) == kNames[i]) return values[i] ? values[i]->c_str() : nullptr;
          return nullptr;
        },
        [&](std::size_t wanted) {
          Check(wanted > 0 && wanted <= static_cast<std::size_t>(gateway::kMaxContentLength),
                "a body read asks for what the declared length allows");
          const std::size_t piece = std::min({wanted, kBodyPiece, body.size() - offset});
          const std::string part(body.substr(offset, piece));
          offset += piece;
          return part;
        },
        out, store, [&](ConfigStore& s) {
          ++sends;
          return s.currentDevice + " " + s.currentCommand + ".";
        });
    Check(sends <= 1, "a request sends at most one command");
    CheckPage(PageText(), kind);
  }
  return 0;
}
