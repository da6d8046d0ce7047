// Where a program's configuration, icons and manual are: beside a program in a build tree, the
// user's own copy for an installed program, and what --config and QVX_CONFIG change.

#include "qvx/config/location.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/env.h"
#include "tests/support/support.h"

namespace qvx {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

constexpr const char* kShipped = "[General]\r\nCOMPORT= 1\r\n[End]\r\n";
constexpr const char* kShippedPorts = "# COM1=/dev/ttyUSB0\n";
constexpr const char* kEdited = "[General]\r\nCOMPORT= 7\r\n[End]\r\n";

// A folder with a program in bin/ and, where the case says so, pelgrin.cfg beside it or the
// shipped files in share/qvx as an installation lays them out.
struct Layout {
  bool besideProgram;  // bin/pelgrin.cfg exists
  bool shipped;        // share/qvx/pelgrin.cfg and ports.cfg exist
  bool userFile;       // the user already has settings/qvx/pelgrin.cfg, with edits
};

struct LocationCase {
  const char* name;
  Layout layout;
  std::optional<std::string> explicitName;  // --config, relative to the folder
  std::string qvxConfig;                    // QVX_CONFIG, relative to the folder; "" unset
  std::string xdgConfigHome;                // "abs" (the folder's settings), "relative", ""
  std::string config;                       // the expected file, relative to the folder
  std::string resources;                    // the expected icon folder, relative
  bool userFilesMade;                       // the shipped files were copied for the user
};

class ProgramFilesTest : public ::testing::TestWithParam<LocationCase> {};

TEST_P(ProgramFilesTest, FindsTheConfigurationAndReadiesIt) {
  const LocationCase& c = GetParam();
  TempDir dir;
  const fs::path bin = dir / "bin";
  const fs::path shared = dir / "share" / "qvx";
  fs::create_directories(bin);
  if (c.layout.besideProgram) WriteFile(bin / "pelgrin.cfg", kShipped);
  if (c.layout.shipped) {
    fs::create_directories(shared);
    WriteFile(shared / "pelgrin.cfg", kShipped);
    WriteFile(shared / "ports.cfg", kShippedPorts);
  }
  const fs::path settings = c.xdgConfigHome == "abs" ? dir / "settings" : dir / "home" / ".config";
  if (c.layout.userFile) {
    fs::create_directories(settings / "qvx");
    WriteFile(settings / "qvx" / "pelgrin.cfg", kEdited);
  }
  ScopedEnv home("HOME", (dir / "home").string());
  ScopedEnv xdg("XDG_CONFIG_HOME", c.xdgConfigHome == "abs"        ? (dir / "settings").string()
                                   : c.xdgConfigHome == "relative" ? "settings"
                                                                   : "");
  ScopedEnv env("QVX_CONFIG", c.qvxConfig.empty() ? "" : (dir / c.qvxConfig).string());
  const std::optional<fs::path> explicitPath =
      c.explicitName ? std::optional<fs::path>(dir / *c.explicitName) : std::nullopt;

  const ProgramFiles files = SetUpProgramFiles(explicitPath, bin);

  EXPECT_EQ(files.config.lexically_normal(), (dir / c.config).lexically_normal());
  EXPECT_EQ(files.resources.lexically_normal(), (dir / c.resources).lexically_normal());
  EXPECT_TRUE(files.warnings.empty()) << files.warnings.front();
  const fs::path userConfig = settings / "qvx" / "pelgrin.cfg";
  if (c.userFilesMade) {
    EXPECT_EQ(ReadFile(userConfig), kShipped);
    EXPECT_EQ(ReadFile(settings / "qvx" / "ports.cfg"), kShippedPorts);
    struct stat info {};
    ASSERT_EQ(::stat((settings / "qvx").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
  } else {
    EXPECT_FALSE(fs::exists(settings / "qvx" / "ports.cfg"));
    EXPECT_EQ(ReadFile(userConfig), c.layout.userFile ? kEdited : "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramFilesTest,
    ::testing::Values(
        LocationCase{
            "BuildTree", {true, false, false}, {}, "", "abs", "bin/pelgrin.cfg", "bin", false},
        LocationCase{"FolderWithBothKeepsItsOwn",
                     {true, true, false},
                     {},
                     "",
                     "abs",
                     "bin/pelgrin.cfg",
                     "bin",
                     false},
        LocationCase{"InstalledFirstUse",
                     {false, true, false},
                     {},
                     "",
                     "abs",
                     "settings/qvx/pelgrin.cfg",
                     "share/qvx",
                     true},
        LocationCase{"InstalledRelativeXdgIsIgnored",
                     {false, true, false},
                     {},
                     "",
                     "relative",
                     "home/.config/qvx/pelgrin.cfg",
                     "share/qvx",
                     true},
        LocationCase{"InstalledWithoutXdg",
                     {false, true, false},
                     {},
                     "",
                     "",
                     "home/.config/qvx/pelgrin.cfg",
                     "share/qvx",
                     true},
        LocationCase{"InstalledKeepsTheUsersEdits",
                     {false, true, true},
                     {},
                     "",
                     "abs",
                     "settings/qvx/pelgrin.cfg",
                     "share/qvx",
                     false},
        LocationCase{"InstalledQvxConfigWins",
                     {false, true, false},
                     {},
                     "mine.cfg",
                     "abs",
                     "mine.cfg",
                     "share/qvx",
                     false},
        LocationCase{"InstalledOptionWinsOverQvxConfig",
                     {false, true, false},
                     "option.cfg",
                     "mine.cfg",
                     "abs",
                     "option.cfg",
                     "share/qvx",
                     false},
        LocationCase{"NeitherLooksBesideTheProgram",
                     {false, false, false},
                     {},
                     "",
                     "abs",
                     "bin/pelgrin.cfg",
                     "bin",
                     false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgramFiles, ReportsAUserConfigurationThatCannotBeMade) {
  TempDir dir;
  fs::create_directories(dir / "bin");
  fs::create_directories(dir / "share" / "qvx");
  WriteFile(dir / "share" / "qvx" / "pelgrin.cfg", kShipped);
  WriteFile(dir / "settings", "a file where the settings folder should be");
  ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "settings").string());
  ScopedEnv env("QVX_CONFIG", "");

  const ProgramFiles files = SetUpProgramFiles(std::nullopt, dir / "bin");

  EXPECT_EQ(files.config, dir / "settings" / "qvx" / "pelgrin.cfg");
  ASSERT_EQ(files.warnings.size(), 1u);
  EXPECT_TRUE(files.warnings[0].starts_with("cannot make " + files.config.string() + " from "))
      << files.warnings[0];
}

}  // namespace
}  // namespace qvx
