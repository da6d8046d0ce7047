#include <iostream>
#include <string>
#include <vector>

#include "qvx/ctl/verbs.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return qvx::RunQvxctl(args, std::cout, std::cerr);
}
