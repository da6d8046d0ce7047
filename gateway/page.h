#pragma once

// The pages of the two gateways: the WAP deck of qvxwap and the HTML form of qvxweb, the page
// for a broken configuration and the error page.

#include <functional>
#include <string>
#include <string_view>

#include "gateway/cgi.h"
#include "gateway/output.h"

namespace qvx {
struct ConfigStore;
}

namespace qvx::gateway {

enum class PageKind { Wap, Web };

// Sends a command: runs the executor (gateway build) for the store's current device and command
// and returns its status text.
using CommandSender = std::function<std::string(ConfigStore&)>;

// Writes text so that it shows as itself in the page's markup; a text without markup characters
// stays as it is. In WML "&" becomes "&#38;" (as in X10&#38;Lamp) and "$" becomes "$$".
std::string EscapeWml(std::string_view text);
std::string EscapeHtml(std::string_view text);

// One option line per item of a comma-terminated list, each ending in CR LF; the item equal to
// selected (any case) is marked " selected>" (web page only; pass empty for none).
std::string BuildOptionList(std::string_view list, PageKind kind, std::string_view selected);

// The content-type header, the empty line and the document head of the page type.
void SendPageHeader(CgiOutput& out, PageKind kind, std::string_view title);

// Replaces the page with the "Internal Error" page naming the script and the error.
void SendErrorPage(CgiOutput& out, PageKind kind, std::string_view scriptName,
                   std::string_view description);

// Loads the configuration into store, sends the chosen command when the request asks for it,
// and writes the page. Throws CgiError when the configuration file cannot be read.
void BuildGatewayPage(CgiOutput& out, PageKind kind, const CgiRequest& request, ConfigStore& store,
                      const CommandSender& send);

// The program entry: reads the request, builds the page, and turns any error into the error page.
void RunGateway(PageKind kind, const std::function<const char*(const char*)>& getenv,
                const std::function<std::string(std::size_t)>& readBody, CgiOutput& out,
                ConfigStore& store, const CommandSender& send);

}  // namespace qvx::gateway
