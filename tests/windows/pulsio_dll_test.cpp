// Pulsio.dll as a Windows host uses it: loaded with LoadLibrary, every function found by name
// and by the ordinal of pulsio.def, and called through the Windows calling convention. The
// 32-bit build also checks that convention itself: each export removes its own arguments.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/paths.h"
#include "pulsio/pulsio.h"
#include "tests/pulsio/def_ordinals.h"
#include "tests/support/env.h"

namespace {

using qvx::test::kOrdinals;
using qvx::test::ScopedEnv;

class PulsioDll : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = LoadLibraryW((platform::ProgramDirectory() / "Pulsio.dll").c_str());
    ASSERT_NE(library_, nullptr) << "LoadLibrary failed with error " << GetLastError();
  }
  void TearDown() override {
    if (library_) FreeLibrary(library_);
  }

  // The export `name` as a pointer of the type pulsio.h declares for it. GetProcAddress gives
  // every export one type; the generic function pointer type in between tells the compiler
  // that the cast to the real one is meant.
  template <typename Function>
  Function* ByName(const char* name, Function*) {
    return reinterpret_cast<Function*>(
        reinterpret_cast<void (*)()>(GetProcAddress(library_, name)));
  }
  FARPROC ByOrdinal(int ordinal) {
    return GetProcAddress(library_, MAKEINTRESOURCEA(ordinal));
  }

  HMODULE library_ = nullptr;
};

#define QVX_EXPORT(name) ByName(#name, static_cast<decltype(&::name)>(nullptr))

TEST_F(PulsioDll, FindsEveryExportByNameAndByItsOrdinal) {
  EXPECT_EQ(qvx::test::DefOrdinals(), kOrdinals);
  for (const auto& [name, ordinal] : kOrdinals) {
    const FARPROC byName = GetProcAddress(library_, name.c_str());
    EXPECT_NE(byName, nullptr) << name;
    EXPECT_EQ(ByOrdinal(ordinal), byName) << name << " @" << ordinal;
  }
  for (int unassigned : {2, 4, 8, 30}) EXPECT_EQ(ByOrdinal(unassigned), nullptr) << unassigned;
  // The platform code inside the library is not exported.
  EXPECT_EQ(GetProcAddress(library_, "_ZN8platform14OpenSerialPortEiPNS_6StatusE"), nullptr);
}

#if defined(__i386__)
// Calls `function` with four 32-bit arguments on the stack and returns how many bytes of them
// the function removed before returning: its own arguments under the Windows convention, none
// under the C one. ESI and EBX keep their values across any call in both conventions.
uint32_t ArgumentBytesRemoved(FARPROC function, const uint32_t (&arguments)[4]) {
  uint32_t removed;
  asm volatile(
      "movl %%esp, %%esi\n\t"
      "pushl 12(%2)\n\t"
      "pushl 8(%2)\n\t"
      "pushl 4(%2)\n\t"
      "pushl (%2)\n\t"
      "call *%1\n\t"
      "movl %%esp, %0\n\t"
      "subl %%esi, %0\n\t"
      "addl $16, %0\n\t"
      "movl %%esi, %%esp\n\t"
      : "=&b"(removed), "+a"(function)
      : "D"(arguments)
      : "ecx", "edx", "esi", "memory", "cc");
  return removed;
}

TEST_F(PulsioDll, EveryExportRemovesItsOwnArgumentsFromTheStack) {
  // Arguments that make each call return at once: no port is open, lengths are refused.
  struct Row {
    const char* name;
    uint32_t argumentBytes;
    uint32_t arguments[4];
  };
  const uint32_t refused = 1001;
  const uint32_t none = 0xFFFFFFFF;  // -1
  const Row rows[] = {
      {"SpeakBeep", 8, {0, 0}},         {"IRSend", 16, {0, none, 0, 0}},
      {"IRRecord", 12, {0, 0, refused}}, {"OpenCom", 4, {0}},
      {"CloseCom", 0, {}},              {"DTR", 4, {0}},
      {"TXD", 4, {0}},                  {"RTS", 4, {0}},
      {"MdmStatus", 0, {}},             {"DCD", 0, {}},
      {"RI", 0, {}},                    {"DSR", 0, {}},
      {"CTS", 0, {}},                   {"uDelay", 4, {none}},
      {"IRMonitor", 8, {0, 0}},         {"SendChr", 4, {0}},
      {"ReadChr", 4, {0}},              {"SetMode", 4, {3}},
      {"CheckZone", 4, {0}},            {"IRRecordN", 12, {0, 0, refused}},
      {"IRMonitorN", 8, {0, 0}},        {"JustOpenCom", 4, {0}},
      {"GetHandle", 0, {}},             {"SetMonitor", 4, {5}},
      {"GetMonitor", 0, {}},            {"SetHandle", 4, {0}},
  };
  ASSERT_EQ(std::size(rows), kOrdinals.size());
  for (const Row& row : rows) {
    const FARPROC function = GetProcAddress(library_, row.name);
    ASSERT_NE(function, nullptr) << row.name;
    EXPECT_EQ(ArgumentBytesRemoved(function, row.arguments), row.argumentBytes) << row.name;
  }
}
#endif

TEST_F(PulsioDll, KeepsItsStateAcrossCallsThroughTheExports) {
  auto* setMonitor = QVX_EXPORT(SetMonitor);
  auto* getMonitor = QVX_EXPORT(GetMonitor);
  auto* setHandle = QVX_EXPORT(SetHandle);
  auto* getHandle = QVX_EXPORT(GetHandle);
  ASSERT_TRUE(setMonitor && getMonitor && setHandle && getHandle);
  EXPECT_EQ(getMonitor(), 0);
  EXPECT_EQ(setMonitor(-123456), -123456);
  EXPECT_EQ(getMonitor(), -123456);
  EXPECT_EQ(getHandle(), 0);
  EXPECT_EQ(setHandle(77), 77);
  EXPECT_EQ(getHandle(), 77);
}

TEST_F(PulsioDll, AnswersTheFailureValuesWithoutAPort) {
  ScopedEnv com9("QVX_COM9", "\\\\.\\NoSuchPort");
  auto* openCom = QVX_EXPORT(OpenCom);
  auto* dtr = QVX_EXPORT(DTR);
  auto* mdmStatus = QVX_EXPORT(MdmStatus);
  auto* setMode = QVX_EXPORT(SetMode);
  auto* closeCom = QVX_EXPORT(CloseCom);
  auto* irSend = QVX_EXPORT(IRSend);
  ASSERT_TRUE(openCom && dtr && mdmStatus && setMode && closeCom && irSend);
  EXPECT_EQ(openCom(9), 0);
  EXPECT_EQ(openCom(10000), 0);  // five digits name no port
  EXPECT_EQ(dtr(1), 0);
  EXPECT_EQ(mdmStatus(), 0);
  EXPECT_EQ(setMode(1), 0);
  EXPECT_EQ(closeCom(), 1);
  const uint8_t bitmap[2] = {0xF0, 0x0F};
  EXPECT_EQ(irSend(bitmap, -1, 600, 0), 0);
  EXPECT_EQ(irSend(bitmap, 1001, 600, 0), 0);
}

TEST_F(PulsioDll, DecodesZoneReports) {
  auto* checkZone = QVX_EXPORT(CheckZone);
  ASSERT_NE(checkZone, nullptr);
  struct Row {
    uint8_t report;
    int32_t zone;
  };
  for (const Row row : {Row{0x0B, 4}, Row{0x07, 0}, Row{0x88, 1}, Row{0x0F, 8}, Row{0xF8, 1}}) {
    EXPECT_EQ(checkZone(&row.report), row.zone) << int{row.report};
  }
  EXPECT_EQ(checkZone(nullptr), 0);
}

TEST_F(PulsioDll, TimesDelaysAndBeepsOnThePerformanceCounter) {
  ScopedEnv silent("QVX_AUDIO_DEVICE", "none");
  auto* uDelay = QVX_EXPORT(uDelay);
  auto* speakBeep = QVX_EXPORT(SpeakBeep);
  ASSERT_TRUE(uDelay && speakBeep);
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  uDelay(5000);
  QueryPerformanceCounter(&end);
  EXPECT_GE((end.QuadPart - start.QuadPart) * 1'000'000 / frequency.QuadPart, 5000);
  QueryPerformanceCounter(&start);
  EXPECT_EQ(speakBeep(2000, 30), 30);
  QueryPerformanceCounter(&end);
  EXPECT_GE((end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart, 30);
}

}  // namespace
