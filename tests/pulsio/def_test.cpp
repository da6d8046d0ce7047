// libpulsio.so exports exactly the functions of pulsio.def, which keeps the Windows ordinals.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "pulsio/pulsio.h"

namespace {

const std::map<std::string, int> kOrdinals{
    {"SpeakBeep", 1},  {"IRSend", 3},     {"IRRecord", 5},    {"OpenCom", 6},     {"CloseCom", 7},
    {"DTR", 9},        {"TXD", 10},       {"RTS", 11},        {"MdmStatus", 12},  {"DCD", 13},
    {"RI", 14},        {"DSR", 15},       {"CTS", 16},        {"uDelay", 17},     {"IRMonitor", 18},
    {"SendChr", 19},   {"ReadChr", 20},   {"SetMode", 21},    {"CheckZone", 22},  {"IRRecordN", 23},
    {"IRMonitorN", 24}, {"JustOpenCom", 25}, {"GetHandle", 26}, {"SetMonitor", 27}, {"GetMonitor", 28},
    {"SetHandle", 29},
};

std::map<std::string, int> DefOrdinals() {
  std::ifstream def(PULSIO_DEF_FILE);
  std::map<std::string, int> ordinals;
  std::regex line(R"(^\s*(\w+)\s+@(\d+)\s*$)");
  std::smatch match;
  for (std::string text; std::getline(def, text);) {
    if (std::regex_match(text, match, line)) ordinals[match[1]] = std::stoi(match[2]);
  }
  return ordinals;
}

TEST(PulsioDef, GivesEveryExportItsOrdinal) { EXPECT_EQ(DefOrdinals(), kOrdinals); }

TEST(PulsioDef, SharedLibraryExportsTheDefNamesAndHidesItsInside) {
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&GetHandle), &info), 0);
  ASSERT_TRUE(std::string(info.dli_fname).ends_with("/libpulsio.so")) << info.dli_fname;
  void* library = dlopen(info.dli_fname, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (const auto& [name, ordinal] : kOrdinals) EXPECT_NE(dlsym(library, name.c_str()), nullptr) << name;
  // The platform code linked into the library stays private to it.
  EXPECT_EQ(dlsym(library, "_ZN8platform14OpenSerialPortEi"), nullptr);
  EXPECT_EQ(dlsym(library, "_ZN6pulsio5StateEv"), nullptr);
  dlclose(library);
}

}  // namespace
