#include "gateway/cgi.h"

#include <algorithm>
#include <array>

#include "platform/percent.h"
#include "qvx/config/text.h"

namespace qvx::gateway {
namespace {

constexpr std::array<const char*, 21> kVariables = {
    "HTTP_ACCEPT",     "AUTH_TYPE",       "CONTENT_LENGTH",  "CONTENT_TYPE",      "HTTP_COOKIE",
    "GATEWAY_INTERFACE", "PATH_INFO",     "PATH_TRANSLATED", "QUERY_STRING",      "HTTP_REFERER",
    "REMOTE_ADDR",     "REMOTE_HOST",     "REMOTE_IDENT",    "REMOTE_USER",       "REQUEST_METHOD",
    "SCRIPT_NAME",     "SERVER_SOFTWARE", "SERVER_NAME",     "SERVER_PORT",       "SERVER_PROTOCOL",
    "HTTP_USER_AGENT"};

}  // namespace

std::string CgiRequest::Variable(std::string_view name) const {
  for (const auto& [key, value] : variables)
    if (key == name) return value;
  return {};
}

CgiRequest ReadCgiEnvironment(const std::function<const char*(const char*)>& getenv) {
  CgiRequest request;
  for (const char* name : kVariables) {
    const char* value = getenv(name);
    request.variables.emplace_back(name, value == nullptr ? "" : value);
  }
  // Digits only: a signed length is no length. Anything beyond the largest body is refused.
  request.contentLength =
      LeadingDigits(TrimBlanks(request.Variable("CONTENT_LENGTH")), kMaxContentLength + 1);
  return request;
}

void ReadFormData(CgiRequest& request, const std::function<std::string(std::size_t)>& readBody) {
  if (request.Variable("REQUEST_METHOD") == "POST") {
    if (request.contentLength > kMaxContentLength)
      throw CgiError(413, "The request is larger than " + std::to_string(kMaxContentLength) +
                              " bytes.");
    const auto length = static_cast<std::size_t>(request.contentLength);
    std::string body;
    while (body.size() < length) {
      const std::string chunk = readBody(length - body.size());
      if (chunk.empty()) break;  // the body ended before its declared length
      body += chunk;
    }
    if (FindInText("www-form-urlencoded", request.Variable("CONTENT_TYPE"), 1) != 0)
      StoreFieldPairs(request, body);
  }
  StoreFieldPairs(request, request.Variable("QUERY_STRING"));
}

void StoreFieldPairs(CgiRequest& request, std::string_view text) {
  const auto pairs = std::count(text.begin(), text.end(), '=');
  std::size_t start = 0;
  for (long i = 0; i < pairs; ++i) {
    const std::size_t equals = text.find('=', start);
    if (equals == std::string_view::npos) break;
    const std::size_t amp = text.find('&', equals + 1);
    const std::size_t end = amp == std::string_view::npos ? text.size() : amp;
    request.fields.emplace_back(UrlDecode(text.substr(start, equals - start)),
                                UrlDecode(text.substr(equals + 1, end - equals - 1)));
    if (amp == std::string_view::npos) break;
    start = amp + 1;
  }
}

std::string UrlDecode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      decoded += ' ';
    } else if (c == '%') {
      const auto byte = platform::DecodePercentEscape(text, i);
      if (!byte) throw CgiError(kUrlDecodeError, "Invalid data passed to UrlDecode() function.");
      decoded += *byte;
      i += 2;
    } else {
      decoded += c;
    }
  }
  return decoded;
}

std::string GetFieldValue(const CgiRequest& request, std::string_view name) {
  std::string joined;
  bool first = true;
  for (const auto& [field, value] : request.fields) {
    if (!EqualsIgnoreCase(field, name)) continue;
    if (!first) joined += ';';
    joined += value;
    first = false;
  }
  return joined;
}

}  // namespace qvx::gateway
