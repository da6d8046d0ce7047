#include "gateway/cgi.h"

#include <algorithm>
#include <array>

#include "qvx/config/text.h"

namespace qvx::gateway {
namespace {

constexpr std::array<const char*, 21> kVariables = {
    "HTTP_ACCEPT",     "AUTH_TYPE",       "CONTENT_LENGTH",  "CONTENT_TYPE",      "HTTP_COOKIE",
    "GATEWAY_INTERFACE", "PATH_INFO",     "PATH_TRANSLATED", "QUERY_STRING",      "HTTP_REFERER",
    "REMOTE_ADDR",     "REMOTE_HOST",     "REMOTE_IDENT",    "REMOTE_USER",       "REQUEST_METHOD",
    "SCRIPT_NAME",     "SERVER_SOFTWARE", "SERVER_NAME",     "SERVER_PORT",       "SERVER_PROTOCOL",
    "HTTP_USER_AGENT"};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The leading decimal number of a text, 0 when there is none or it is negative.
long LeadingNumber(std::string_view text) {
  text = TrimBlanks(text);
  long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > kMaxContentLength) return kMaxContentLength + 1;
  }
  return value;
}

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
  request.contentLength = LeadingNumber(request.Variable("CONTENT_LENGTH"));
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
      const int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
      const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
      if (high < 0 || low < 0)
        throw CgiError(kUrlDecodeError, "Invalid data passed to UrlDecode() function.");
      decoded += static_cast<char>(high * 16 + low);
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
