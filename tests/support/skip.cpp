#include "tests/support/skip.h"

#include <cstdlib>
#include <string_view>

namespace qvx::test {

bool InCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string_view(ci) == "true";
}

}  // namespace qvx::test
