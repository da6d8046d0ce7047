#include "qvx/config/general.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "qvx/config/file.h"
#include "qvx/config/importform.h"
#include "qvx/config/store.h"
#include "tests/support/support.h"

namespace qvx {
namespace {

using test::Crlf;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// The smallest file that loads: [General], the thirty keys in order, [End].
std::string MinimalConfig(const std::string& itype = "0") {
  std::string text = "[General]\n";
  for (const auto& key : GeneralKeys()) text += key + "= " + (key == "ITYPE" ? itype : "0") + "\n";
  return Crlf(text + "[End]\n");
}

LoadResult LoadText(ConfigStore& store, const TempDir& dir, const std::string& text) {
  store.path = dir / "pelgrin.cfg";
  WriteFile(store.path, text);
  return LoadGeneral(store);
}

TEST(LoadGeneral, ReadsTheDeliveredFile) {
  ConfigStore store;
  store.path = test::DeliveredConfig();
  const LoadResult result = LoadGeneral(store);
  ASSERT_TRUE(result.ok) << result.reason;
  EXPECT_EQ(store.general.comPort, 1);
  EXPECT_EQ(store.general.procDelay, 10);
  EXPECT_TRUE(store.general.irInEna);
  EXPECT_TRUE(store.general.x10Ena);
  EXPECT_FALSE(store.general.btEna);
  EXPECT_EQ(store.general.winampPath, "vlc");
  EXPECT_EQ(store.general.bt[9], "");
  EXPECT_EQ(store.version, "1.0.0");
}

TEST(LoadGeneral, TypesEachValue) {
  TempDir dir;
  ConfigStore store;
  std::string text = MinimalConfig("35");
  auto set = [&](const std::string& line, const std::string& replacement) {
    text.replace(text.find(line), line.size(), replacement);
  };
  set("BEEPON= 0", "beepon= 0.5");    // flags: any non-zero number, keys in any case
  set("IRINENA= 0", "IRINENA= abc");  // no leading number reads as 0
  set("COMPORT= 0", "COMPORT=-12x");  // no blank after "=", leading number only
  set("BT3= 0", "BT3= phone, with blanks ");
  set("X10COM= 0", "X10COM= 32767");
  ASSERT_TRUE(LoadText(store, dir, text).ok);
  EXPECT_TRUE(store.general.beepOn);
  EXPECT_FALSE(store.general.irInEna);
  EXPECT_EQ(store.general.comPort, -12);
  EXPECT_EQ(store.general.bt[3], "phone, with blanks");
  EXPECT_EQ(store.general.x10Com, 32767);
  EXPECT_EQ(store.general.receiverType, 3);  // ITYPE 35: receiver 35 mod 16, output mode 35 / 16
  EXPECT_EQ(store.general.outputMode, 2);
}

TEST(LoadGeneral, RefusesInvalidFilesWithAReason) {
  const std::string minimal = MinimalConfig();
  auto without = [&](const std::string& what) {
    std::string text = minimal;
    text.erase(text.find(what), what.size());
    return text;
  };
  auto swapped = [&] {  // MONITOR before BTCURRENT
    std::string text = without("MONITOR= 0\r\n");
    text.insert(text.find("BTCURRENT"), "MONITOR= 0\r\n");
    return text;
  };
  auto lfOnly = [&] {
    std::string text = minimal;
    std::erase(text, '\r');
    return text;
  };
  struct Case {
    std::string name;
    std::string text;
    std::string reason;
  } cases[] = {
      {"no end marker", without("[End]"), "the end marker [End] is missing"},
      {"no general", without("[General]"), "the section [General] is missing"},
      {"missing key", without("BT7= 0\r\n"),
       "the key BT7= is missing after BT6= (the general keys must appear in their fixed order)"},
      {"out of order", swapped(),
       "the key MONITOR= is missing after KEYBOARDENA= (the general keys must appear in their "
       "fixed order)"},
      {"lf only", lfOnly(), "the line of COMPORT= does not end with CR LF (the file has no CR at all)"},
      {"overflow", [&] {
         std::string text = minimal;
         text.replace(text.find("BTMODE= 0"), 9, "BTMODE= 40000");
         return text;
       }(), "the value of BTMODE= lies outside -32768 to 32767"},
      {"truncated", minimal.substr(0, minimal.find("MOUSEENA")) + "[End]",
       "the key MOUSEENA= is missing after BTCURRENT= (the general keys must appear in their "
       "fixed order)"},
      {"binary", std::string("\0\x01\xFF\r\n[End]\r\n\0", 13), "the section [General] is missing"},
      {"empty", "", "the end marker [End] is missing"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ConfigStore store;
    const LoadResult result = LoadText(store, dir, c.text);
    EXPECT_FALSE(result.ok) << c.name;
    EXPECT_EQ(result.reason, c.reason) << c.name;
  }
}

TEST(LoadGeneral, KeepsValuesReadBeforeTheFailure) {
  TempDir dir;
  ConfigStore store;
  std::string text = MinimalConfig();
  text.replace(text.find("COMPORT= 0"), 10, "COMPORT= 4");
  text.erase(text.find("MONITOR= 0\r\n"), 12);
  EXPECT_FALSE(LoadText(store, dir, text).ok);
  EXPECT_EQ(store.general.comPort, 4);
}

TEST(LoadGeneral, ReportsAMissingOrUnreadableFile) {
  TempDir dir;
  ConfigStore store;
  store.path = dir / "absent.cfg";
  LoadResult result = LoadGeneral(store);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.reason.find("cannot open"), std::string::npos) << result.reason;
  store.path = dir.path();  // a directory is not a configuration file
  result = LoadGeneral(store);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.reason.find("not a regular file"), std::string::npos) << result.reason;
}

TEST(LoadGeneral, LoadsAFileOfTensOfMegabytes) {
  TempDir dir;
  ConfigStore store;
  std::string text = MinimalConfig();
  std::string padding = "\r\n[Huge]\r\n# padding\r\n";
  padding.reserve(40u << 20);
  while (padding.size() < (40u << 20)) padding += "G0101010101010101,Some command name\r\n";
  text.insert(text.find("[End]"), padding + "\r\n");
  const LoadResult result = LoadText(store, dir, text);
  EXPECT_TRUE(result.ok) << result.reason;
  EXPECT_EQ(store.text.size(), text.size());
}

TEST(SaveConfigFile, CutsAfterTheLastBracketAndEndsWithOneCrLf) {
  TempDir dir;
  const auto path = dir / "pelgrin.cfg";
  std::string error;
  for (const std::string tail : {"", "\r\n", "junk", "\r\n\r\n\r\n", "\r\n  x\r\n"}) {
    std::string text = "[General]\r\nA= 1\r\n\r\n[End]" + tail;
    ASSERT_TRUE(SaveConfigFile(text, path, error)) << error;
    EXPECT_EQ(ReadFile(path), "[General]\r\nA= 1\r\n\r\n[End]\r\n");
    EXPECT_EQ(text, ReadFile(path));
  }
}

TEST(SaveConfigFile, RefusesATextWithoutAnySectionInsteadOfEmptyingTheFile) {
  TempDir dir;
  const auto path = dir / "pelgrin.cfg";
  WriteFile(path, "[End]\r\n");
  std::string text = "no brackets at all";
  std::string error;
  EXPECT_FALSE(SaveConfigFile(text, path, error));
  EXPECT_EQ(ReadFile(path), "[End]\r\n");
  EXPECT_EQ(text, "no brackets at all");
}

TEST(SaveConfigFile, KeepsPermissionsAndFollowsSymbolicLinks) {
  TempDir dir;
  const auto real = dir / "real.cfg";
  const auto link = dir / "pelgrin.cfg";
  WriteFile(real, "old");
  std::filesystem::permissions(real, std::filesystem::perms(0640));
  std::filesystem::create_symlink(real, link);
  std::string text = "[End]";
  std::string error;
  ASSERT_TRUE(SaveConfigFile(text, link, error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(real), "[End]\r\n");
  EXPECT_EQ(std::filesystem::status(real).permissions(), std::filesystem::perms(0640));
}

// Runs body in a child process and returns its exit status: the child may drop privileges or
// limit its file size without touching the test process.
int InChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int status = 4;
    try {
      status = body();
    } catch (...) {
    }
    ::_exit(status);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(SetGeneralParam, FailedSavesLeaveFileAndTextUnchanged) {
  TempDir dir;
  ConfigStore store;
  const std::string original = MinimalConfig();
  ASSERT_TRUE(LoadText(store, dir, original).ok);

  // A directory the program may not write to (as an unprivileged user, even when run as root).
  std::filesystem::permissions(dir.path(), std::filesystem::perms(0555));
  const int readOnly = InChild([&] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 3;
    const bool saved = SetGeneralParam(store, "COMPORT", "5");
    return saved ? 1 : (store.text == original && store.general.comPort == 0 ? 0 : 2);
  });
  std::filesystem::permissions(dir.path(), std::filesystem::perms(0700));
  EXPECT_EQ(readOnly, 0);

  // A disk that fills up in the middle of the write.
  const int full = InChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100, 100};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool saved = SetGeneralParam(store, "COMPORT", "5");
    return saved ? 1 : (store.lastError.find("cannot write") != std::string::npos ? 0 : 2);
  });
  EXPECT_EQ(full, 0);

  EXPECT_EQ(ReadFile(store.path), original);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1u) << "a temporary file was left behind";
}

TEST(SetGeneralParam, ReplacesTheValueInPlaceAndSaves) {
  TempDir dir;
  ConfigStore store;
  std::string text = MinimalConfig();
  text.replace(text.find("BT1= 0"), 6, "BT1=0");
  text.replace(text.find("BT2= 0"), 6, "BT2=");
  ASSERT_TRUE(LoadText(store, dir, text).ok);

  struct Case {
    std::string key, value, before, after;
  } cases[] = {
      {"COMPORT", " 12 ", "COMPORT= 0\r", "COMPORT= 12\r"},
      {"winamppath", "C:\\Program Files\\x", "WINAMPPATH= 0\r", "WINAMPPATH= C:\\Program Files\\x\r"},
      {"WINAMPPATH", "", "WINAMPPATH= C:\\Program Files\\x\r", "WINAMPPATH= \r"},
      {"BT1", "abc", "BT1=0\r", "BT1= abc\r"},  // a line without the blank gets one
      {"BT2", "x", "BT2=\r", "BT2= x\r"},
  };
  for (const auto& c : cases) {
    std::string expected = store.text;
    expected.replace(expected.find(c.before), c.before.size(), c.after);
    ASSERT_TRUE(SetGeneralParam(store, c.key, c.value)) << c.key;
    EXPECT_EQ(store.text, expected) << c.key;
    EXPECT_EQ(ReadFile(store.path), expected) << c.key;
  }
  EXPECT_EQ(store.general.comPort, 12);
  EXPECT_EQ(store.general.bt[1], "abc");

  const std::string before = ReadFile(store.path);
  EXPECT_FALSE(SetGeneralParam(store, "", "1"));
  EXPECT_FALSE(SetGeneralParam(store, "NOSUCHKEY", "1"));
  EXPECT_EQ(ReadFile(store.path), before);
}

// A value the file could not load back is refused before anything is written, with the reason,
// whoever offers it; what the file can hold is written as given.
TEST(SetGeneralParam, RefusesWhatTheFileCouldNotLoadBack) {
  TempDir dir;
  ConfigStore store;
  ASSERT_TRUE(LoadText(store, dir, MinimalConfig()).ok);
  const std::string original = ReadFile(store.path);
  const std::pair<std::string, std::string> refused[] = {
      {"COMPORT", "70000"},    {"X10COM", "-32769"}, {"BTCOM", "3 (COM3)"},
      {"BTMODE", ""},          {"MONITOR", "on"},    {"BT4", "A\rB"},
      {"WINAMPPATH", "x\n[TV]"}, {"BT8", "x BT9= 3"}, {"GPROTO", "1"},
  };
  for (const auto& [key, value] : refused) {
    EXPECT_FALSE(SetGeneralParam(store, key, value)) << key;
    EXPECT_FALSE(store.lastError.empty()) << key;
    EXPECT_EQ(ReadFile(store.path), original) << key;
  }
  for (const auto& [key, value] : {std::pair{"COMPORT", "-32768"}, {"BEEPON", "0.5"},
                                   {"BTMODE", "+7"}, {"WINAMPPATH", "C:\\Progs [x86]\\w.exe"}})
    EXPECT_TRUE(SetGeneralParam(store, key, value)) << key << ": " << store.lastError;

  // An imported [General] writes what it can and reports the rest; the file always loads.
  store.importText = Crlf("# Rezoru Zazudaz\n[General]\nCOMPORT= 70000\nBTCOM= 4\n\n[End]\n");
  test::ScriptedPrompter prompter;
  ASSERT_TRUE(ImportSection(store, prompter, "[General]"));
  EXPECT_EQ(prompter.messages.front(),
            "QVX: The parameter COMPORT is invalid.\r\nIt will not be loaded.");
  ConfigStore reloaded;
  reloaded.path = store.path;
  ASSERT_TRUE(LoadGeneral(reloaded).ok);
  EXPECT_EQ(reloaded.general.comPort, -32768);
  EXPECT_EQ(reloaded.general.btCom, 4);
  EXPECT_EQ(reloaded.general.btMode, 7);
  EXPECT_TRUE(reloaded.general.beepOn);
  EXPECT_EQ(reloaded.general.winampPath, "C:\\Progs [x86]\\w.exe");
}

// A save keeps the file's owner, group and mode: a program run by root replaces another user's
// file with one of that user's, and a writable file in a directory the program may not write is
// written over itself.
TEST(SetGeneralParam, KeepsOwnerGroupAndModeAndWritesInPlaceWhereTheDirectoryIsClosed) {
  TempDir dir;
  ConfigStore store;
  ASSERT_TRUE(LoadText(store, dir, MinimalConfig()).ok);
  const bool root = ::geteuid() == 0;
  const uid_t owner = root ? 65534 : ::geteuid();
  const gid_t group = root ? 65534 : ::getegid();
  ASSERT_EQ(::chown(store.path.c_str(), owner, group), 0);
  ASSERT_EQ(::chmod(store.path.c_str(), 0640), 0);
  const auto statOf = [&] {
    struct stat now {};
    ::stat(store.path.c_str(), &now);
    return now;
  };
  const auto expectKept = [&](const struct stat& now) {
    EXPECT_EQ(now.st_uid, owner);
    EXPECT_EQ(now.st_gid, group);
    EXPECT_EQ(now.st_mode & 07777, 0640u);
  };
  std::string expected = MinimalConfig();
  expected.replace(expected.find("COMPORT= 0"), 10, "COMPORT= 3");
  ASSERT_TRUE(SetGeneralParam(store, "COMPORT", "3")) << store.lastError;
  EXPECT_EQ(ReadFile(store.path), expected);
  expectKept(statOf());

  const ino_t inode = statOf().st_ino;
  std::filesystem::permissions(dir.path(), std::filesystem::perms(0555));
  const int status = InChild([&] {
    if (root && (::setgid(group) != 0 || ::setuid(owner) != 0)) return 3;
    return SetGeneralParam(store, "COMPORT", "4") ? 0 : 1;
  });
  std::filesystem::permissions(dir.path(), std::filesystem::perms(0700));
  EXPECT_EQ(status, 0);
  expected.replace(expected.find("COMPORT= 3"), 10, "COMPORT= 4");
  EXPECT_EQ(ReadFile(store.path), expected);
  EXPECT_EQ(statOf().st_ino, inode);
  expectKept(statOf());
}

TEST(SetGeneralParam, NeedsTheGeneralSection) {
  TempDir dir;
  ConfigStore store;
  store.path = dir / "pelgrin.cfg";
  store.text = Crlf("COMPORT= 1\n[End]\n");
  EXPECT_FALSE(SetGeneralParam(store, "COMPORT", "2"));
  EXPECT_FALSE(std::filesystem::exists(store.path));
}

}  // namespace
}  // namespace qvx

namespace qvx {
namespace {

TEST(ToggleGeneralFlag, SwitchesAFlagKeyAndRefusesOtherKeys) {
  test::TempDir dir;
  ConfigStore store;
  ASSERT_TRUE(LoadText(store, dir, test::ReadFile(test::DeliveredConfig())).ok);
  EXPECT_EQ(ToggleGeneralFlag(store, "WINAMPENA"), std::optional<bool>(false));
  EXPECT_FALSE(store.general.winampEna);
  EXPECT_NE(test::ReadFile(store.path).find("WINAMPENA= 0\r\n"), std::string::npos);
  EXPECT_EQ(ToggleGeneralFlag(store, "winampena"), std::optional<bool>(true));
  EXPECT_EQ(ToggleGeneralFlag(store, "COMPORT"), std::nullopt);
  EXPECT_EQ(ToggleGeneralFlag(store, "NOSUCHKEY"), std::nullopt);
  EXPECT_EQ(GeneralFlag(store.general, "X10ENA"), std::optional<bool>(true));
}

}  // namespace
}  // namespace qvx
