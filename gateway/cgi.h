#pragma once

// The CGI request layer shared by the WAP and web gateways: the environment, the form fields of
// the request body and query string, and the run-time error that ends in the error page.

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qvx::gateway {

// A run-time error of a gateway: its number and description end up on the error page.
class CgiError : public std::runtime_error {
 public:
  CgiError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int number() const { return number_; }

 private:
  int number_;
};

// Error number of a bad percent sequence.
inline constexpr int kUrlDecodeError = 65001;

// Largest request body that is read; a larger declared length ends in the error page.
inline constexpr long kMaxContentLength = 64 * 1024;

// One request: the CGI variables, the content length and the field table.
struct CgiRequest {
  std::vector<std::pair<std::string, std::string>> variables;  // name, value (empty when unset)
  long contentLength = 0;
  std::vector<std::pair<std::string, std::string>> fields;  // name, value, in request order
  // The value of a CGI variable; empty when unset.
  std::string Variable(std::string_view name) const;
};

// Reads the CGI variables through getenv (unset gives empty) and the content length.
CgiRequest ReadCgiEnvironment(const std::function<const char*(const char*)>& getenv);

// For a "POST" request reads the body from readBody (called until the declared length has
// arrived or it returns no more) and stores its fields when it is form-urlencoded; then stores the
// query string's fields. Throws CgiError for a declared length beyond kMaxContentLength.
void ReadFormData(CgiRequest& request, const std::function<std::string(std::size_t)>& readBody);

// Adds the name=value pairs of a text to the field table, each decoded with UrlDecode.
void StoreFieldPairs(CgiRequest& request, std::string_view text);

// Decodes "+" and "%XX"; throws CgiError 65001 for a "%" not followed by two hexadecimal digits.
std::string UrlDecode(std::string_view text);

// The values of all fields of that name (any case), joined with ";"; empty when there is none.
std::string GetFieldValue(const CgiRequest& request, std::string_view name);

}  // namespace qvx::gateway
