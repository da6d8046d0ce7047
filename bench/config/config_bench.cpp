// Cost of the configuration store's hot paths on a large file: 1000 devices of 50 commands.
// Prints FindInText throughput and the times of FindCodeInConfig, BuildDeviceList, SaveConfigFile
// and CommitConfigText.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "qvx/config/devices.h"
#include "qvx/config/file.h"
#include "qvx/config/general.h"
#include "qvx/config/store.h"
#include "qvx/config/text.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string RandomBits(std::mt19937& rng, int count) {
  std::string bits;
  for (int i = 0; i < count; ++i) bits += (rng() & 1) ? '1' : '0';
  return bits;
}

std::string LargeConfig(std::string& lastCode) {
  std::mt19937 rng(42);
  std::string text = "# Zarvel Rezoru Zazudaz configuration file\r\n\r\n[General]\r\n";
  for (const auto& key : qvx::GeneralKeys()) text += key + "= 1\r\n";
  for (int device = 0; device < 1000; ++device) {
    text += "\r\n[Device" + std::to_string(device) + "]\r\n# Generated device\r\n";
    text += "GPROTO= 0\r\nSENDPLS= 550\r\nREPEAT= 50\r\nBITG= 111111111111111100000000\r\n"
            "BIT0= 10\r\nBIT1= 1000\r\nGREPEAT= 1\r\n";
    for (int command = 0; command < 50; ++command) {
      lastCode = RandomBits(rng, 32);
      text += "G" + lastCode + ",Command " + std::to_string(command) + "\r\n";
    }
  }
  text += "\r\n[X10]\r\n# X10\r\n/X10/*a1,Lamp\r\n\r\n[Application]\r\n# Apps\r\n"
          "\r\n[Monitoring]\r\n# Events\r\n\r\n[End]\r\n";
  return text;
}

// Mean seconds per call of f over enough repetitions to last about half a second.
template <typename F>
double SecondsPerCall(F&& f) {
  int reps = 1;
  while (true) {
    const auto start = Clock::now();
    for (int i = 0; i < reps; ++i) f();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (elapsed > 0.5) return elapsed / reps;
    reps *= 2;
  }
}

volatile std::size_t sink;

}  // namespace

int main() {
  qvx::ConfigStore store;
  std::string lastCode;
  store.text = LargeConfig(lastCode);
  store.general.irInEna = store.general.irOutEna = store.general.x10Ena = true;
  const double megabytes = static_cast<double>(store.text.size()) / 1e6;
  std::printf("configuration: %.2f MB, 1000 devices x 50 commands\n", megabytes);

  // The pattern occurs only at the very end, so the search scans the whole text.
  const std::string pattern = "G" + lastCode + ",";
  const std::string_view text = store.text;
  const double found = SecondsPerCall([&] { sink = qvx::FindInText(pattern, text, 1); });
  const double absent = SecondsPerCall([&] { sink = qvx::FindInText("[nowhere]", text, 1); });
  std::printf("FindInText, code at the end: %8.0f MB/s\n", megabytes / found);
  std::printf("FindInText, absent header:   %8.0f MB/s\n", megabytes / absent);

  const double findCode =
      SecondsPerCall([&] { sink = qvx::FindCodeInConfig(store, lastCode, 0); });
  std::printf("FindCodeInConfig, code near the end: %8.3f ms\n", findCode * 1e3);
  const double deviceList =
      SecondsPerCall([&] { sink = qvx::BuildDeviceList(store, qvx::Variant::MainProgram).size(); });
  std::printf("BuildDeviceList:                     %8.3f ms\n", deviceList * 1e3);

  const auto path = std::filesystem::temp_directory_path() / "qvx-bench-pelgrin.cfg";
  std::string error;
  const double save = SecondsPerCall([&] {
    std::string copy = store.text;
    if (!qvx::SaveConfigFile(copy, path, error)) std::fprintf(stderr, "save failed: %s\n", error.c_str());
  });
  std::filesystem::remove(path);
  std::printf("SaveConfigFile (atomic, flushed):    %8.3f ms\n", save * 1e3);

  // The same save as a program makes it: the writers' lock, the file read again and compared.
  store.path = path;
  const std::string whole = store.text;
  const double commit = SecondsPerCall([&] {
    if (qvx::CommitConfigText(store, whole) != qvx::CommitResult::Saved)
      std::fprintf(stderr, "commit failed: %s\n", store.lastError.c_str());
  });
  std::filesystem::remove(path);
  std::printf("CommitConfigText (locked, re-read):  %8.3f ms\n", commit * 1e3);
  return 0;
}
