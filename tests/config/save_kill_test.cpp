// Saving processes killed at random points, and two processes saving the same file at once.
// Linux only: the writers are forked children.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <random>

#include "platform/files.h"
#include "qvx/config/general.h"
#include "qvx/config/store.h"
#include "tests/support/support.h"

namespace qvx {
namespace {

using test::Crlf;
using test::ReadFile;

std::string Config(const std::map<std::string, std::string>& general) {
  return Crlf(test::GeneralSection(general, "0") +
              "\n[TV]\n# Living room\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 50\nBITG= 1111\n"
              "BIT0= 10\nBIT1= 1000\nGREPEAT= 1\nG0011,Power\n"
              "\n[X10]\n# X10 modules\n\n[Application]\n# Applications\n"
              "\n[Monitoring]\n# Events\n\n[End]\n");
}

// Runs body in a child process whose exit status is its result.
pid_t Spawn(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  return pid;
}

// The exit status of a child; 100 + the signal that ended it.
int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

bool Load(ConfigStore& store, const std::filesystem::path& path) {
  store.path = path;
  return LoadGeneral(store).ok;
}

std::size_t Temporaries(const std::filesystem::path& path) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path()))
    if (entry.path().filename().string().starts_with(platform::TemporaryPrefix(path))) ++count;
  return count;
}

TEST(KilledSaver, LeavesTheOldOrTheNewTextAndTheNextSaveLeavesNoTemporaryFile) {
  test::TempDir dir;
  const std::filesystem::path path = dir / "pelgrin.cfg";
  // Of different sizes, the longer one over many pages, so kills land inside its write too.
  const std::string texts[2] = {Config({}), Config({{"WINAMPPATH", std::string(300'000, 'w')}})};
  test::WriteFile(path, texts[0]);

  constexpr int kKills = 300;
  std::mt19937 random(20261208);
  int found[2] = {0, 0}, withTemporary = 0, saves = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t saver = Spawn([&] {
      ConfigStore store;
      if (!Load(store, path)) return 1;
      for (std::size_t next = store.text == texts[0] ? 1 : 0;; next ^= 1) {
        if (CommitConfigText(store, texts[next]) != CommitResult::Saved) return 2;
        if (::write(ready[1], "s", 1) != 1) return 3;
      }
    });
    ::close(ready[1]);
    // Let it finish 0 to 2 saves, then kill it somewhere in (or between) the following ones.
    char byte = 0;
    for (int done = std::uniform_int_distribution<int>(0, 2)(random); done > 0; --done)
      if (::read(ready[0], &byte, 1) == 1) ++saves;
    ::usleep(std::uniform_int_distribution<unsigned>(0, 3000)(random));
    ::kill(saver, SIGKILL);
    ASSERT_EQ(Wait(saver), 100 + SIGKILL) << "the saver stopped by itself";
    while (::read(ready[0], &byte, 1) == 1) ++saves;
    ::close(ready[0]);

    const std::string now = ReadFile(path);
    ASSERT_TRUE(now == texts[0] || now == texts[1])
        << "kill " << kill << " left a file of " << now.size() << " bytes";
    ++found[now == texts[1] ? 1 : 0];
    if (Temporaries(path) > 0) ++withTemporary;

    ConfigStore next;
    ASSERT_TRUE(Load(next, path));
    ASSERT_TRUE(SetGeneralParam(next, "PROTOCOL", "0")) << next.lastError;
    ASSERT_EQ(Temporaries(path), 0u) << "after kill " << kill;
  }
  std::printf("%d kills after %d completed saves: %d left the shorter text, %d the longer, "
              "%d a temporary file (removed by the next save)\n",
              kKills, saves, found[0], found[1], withTemporary);
  EXPECT_GT(withTemporary, 0) << "no kill landed inside a save";
  EXPECT_GT(found[0], 0);
  EXPECT_GT(found[1], 0);
}

TEST(TwoSavers, EachKeepsTheOthersLastValueAndTheFileIsAlwaysWhole) {
  test::TempDir dir;
  const std::filesystem::path path = dir / "pelgrin.cfg";
  test::WriteFile(path, Config({}));
  constexpr int kSaves = 150;
  const auto saver = [&](const char* key) {
    return Spawn([&path, key] {
      ConfigStore store;
      if (!Load(store, path)) return 1;
      for (int value = 1; value <= kSaves; ++value)
        if (!SetGeneralParam(store, key, std::to_string(value))) return 2;
      return 0;
    });
  };
  const pid_t first = saver("COMPORT");
  const pid_t second = saver("BTCURRENT");

  // Meanwhile the file is read over and over: always a whole configuration, each key's value
  // only ever growing (a lost update would bring an older one back).
  int reads = 0, comPort = 0, btCurrent = 0;
  int status[2] = {-1, -1};
  for (const pid_t pid : {first, second}) {
    int& result = status[pid == first ? 0 : 1];
    while (result < 0) {
      int raw = 0;
      if (::waitpid(pid, &raw, WNOHANG) == pid) result = WIFEXITED(raw) ? WEXITSTATUS(raw) : 100;
      ConfigStore reader;
      ASSERT_TRUE(Load(reader, path)) << "read " << reads;
      ASSERT_EQ(reader.text, Config({{"COMPORT", std::to_string(reader.general.comPort)},
                                     {"BTCURRENT", std::to_string(reader.general.btCurrent)}}));
      ASSERT_GE(reader.general.comPort, comPort) << "read " << reads;
      ASSERT_GE(reader.general.btCurrent, btCurrent) << "read " << reads;
      comPort = reader.general.comPort;
      btCurrent = reader.general.btCurrent;
      ++reads;
    }
  }
  EXPECT_EQ(status[0], 0);
  EXPECT_EQ(status[1], 0);
  EXPECT_GT(reads, 2);
  EXPECT_EQ(ReadFile(path), Config({{"COMPORT", std::to_string(kSaves)},
                                    {"BTCURRENT", std::to_string(kSaves)}}));
  EXPECT_EQ(Temporaries(path), 0u);
}

}  // namespace
}  // namespace qvx
