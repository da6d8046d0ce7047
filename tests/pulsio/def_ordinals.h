#pragma once

// The exports of Pulsio with their Windows ordinals, and those pulsio.def gives them
// (PULSIO_DEF_FILE names the file).

#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace qvx::test {

// The export ordinals Windows hosts of Pulsio.dll rely on; 2, 4 and 8 are not assigned.
inline const std::map<std::string, int> kOrdinals{
    {"SpeakBeep", 1},  {"IRSend", 3},     {"IRRecord", 5},    {"OpenCom", 6},     {"CloseCom", 7},
    {"DTR", 9},        {"TXD", 10},       {"RTS", 11},        {"MdmStatus", 12},  {"DCD", 13},
    {"RI", 14},        {"DSR", 15},       {"CTS", 16},        {"uDelay", 17},     {"IRMonitor", 18},
    {"SendChr", 19},   {"ReadChr", 20},   {"SetMode", 21},    {"CheckZone", 22},  {"IRRecordN", 23},
    {"IRMonitorN", 24}, {"JustOpenCom", 25}, {"GetHandle", 26}, {"SetMonitor", 27}, {"GetMonitor", 28},
    {"SetHandle", 29},
};

// The name and ordinal of every export that pulsio.def lists.
inline std::map<std::string, int> DefOrdinals() {
  std::ifstream def(PULSIO_DEF_FILE);
  std::map<std::string, int> ordinals;
  std::regex line(R"(^\s*(\w+)\s+@(\d+)\s*$)");
  std::smatch match;
  for (std::string text; std::getline(def, text);) {
    if (std::regex_match(text, match, line)) ordinals[match[1]] = std::stoi(match[2]);
  }
  return ordinals;
}

}  // namespace qvx::test
