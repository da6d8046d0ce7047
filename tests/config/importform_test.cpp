#include "qvx/config/importform.h"

#include <gtest/gtest.h>

#include "qvx/config/store.h"
#include "tests/support/support.h"

namespace qvx {
namespace {

using test::Crlf;
using test::ReadFile;
using test::ScriptedPrompter;
using test::TempDir;
using Strings = std::vector<std::string>;

const std::string kGeneralBlock = "[General]\nCOMPORT= 1\nPROCDELAY= 10\n\n";
const std::string kTvBlock =
    "[TV]\n# Living room TV\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 50\nBITG= 1111\nBIT0= 10\n"
    "BIT1= 1000\nGREPEAT= 1\nG0011,Power\n\n";
const std::string kConfig = Crlf("# Zarvel Rezoru Zazudaz configuration file\n\n" +
                                 kGeneralBlock + kTvBlock +
                                 "[X10]\n# X10 modules\n/X10/*a1,Lamp\n\n"
                                 "[Application]\n# Applications\n@/usr/bin/xterm,Terminal\n"
                                 "/usr/bin/mpv Lamp.wav,Lamp sound\n\n"
                                 "[Monitoring]\n# Monitored events\nTV&Power,X10&Lamp&On\n\n"
                                 "[End]\n");

const std::string kTellyBlock =
    "# Living room TV\nGPROTO= 1\nSENDPLS= 600\nREPEAT= 40\nBITG= 1111\nBIT0= 01\nBIT1= 011\n"
    "GREPEAT= 40\nG0101,Mute\n\n";
const std::string kRadioBlock =
    "# Kitchen radio\nGPROTO= 2\nSENDPLS= 850\nREPEAT= 90\nBITG= 0\nBIT0= 10\nBIT1= 01\n"
    "GREPEAT= 0\nG11000100001100,Standby\n\n";
const std::string kImport = Crlf(
    "# Zarvel Rezoru Zazudaz configuration file\n\n"
    "[General]\nCOMPORT= 3\nFOO= 1\nGPROTO= 7\nPROCDELAY= 20\n\n"
    "[Telly]\n" + kTellyBlock + "[Radio]\n" + kRadioBlock +
    "[Lampy]\n# Lamp\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 0\nBITG= 1\nBIT0= 10\nBIT1= 1000\n"
    "GREPEAT= 1\n\n"
    "[X10]\n# X10 modules\n/X10/*a1,Lamp\n/X10/*b2,Fan\n\n/X10/*c3,Pump\n/x10/*A1,LAMP\n\n"
    "[Application]\n# Applications\n/usr/bin/xterm,Terminal\n\n"
    "[End]\n");

// The configuration with `from` replaced by `to` (both written with LF line ends).
std::string ConfigWith(const std::string& from, const std::string& to) {
  std::string text = kConfig;
  const std::string crlfFrom = Crlf(from);
  text.replace(text.find(crlfFrom), crlfFrom.size(), Crlf(to));
  return text;
}

class ImportForm : public ::testing::Test {
 protected:
  void SetUp() override {
    store.path = dir / "pelgrin.cfg";
    store.text = kConfig;
    store.importText = kImport;
  }
  bool Import(const std::string& entry) {
    store.importMode = true;
    return PressImportButton(store, prompter, {entry});
  }
  void ExpectSaved(const std::string& expected) {
    EXPECT_EQ(store.text, expected);
    EXPECT_EQ(ReadFile(store.path), expected);
  }
  void ExpectUnchanged() {
    EXPECT_EQ(store.text, kConfig);
    EXPECT_FALSE(std::filesystem::exists(store.path));
  }
  TempDir dir;
  ConfigStore store;
  ScriptedPrompter prompter;
};

TEST_F(ImportForm, ListsTheSectionsByDescriptionInBothModes) {
  ImportFormView view = OpenImportForm(store);
  EXPECT_EQ(view.hint, "Check the items to export and click Export");
  EXPECT_EQ(view.buttonCaption, "&Export");
  EXPECT_EQ(view.entries,
            (Strings{" Living room TV", " X10 modules", " Applications", " Monitored events"}));
  store.importMode = true;
  view = OpenImportForm(store);
  EXPECT_EQ(view.hint, "Check the items to import and click Import");
  EXPECT_EQ(view.buttonCaption, "&Import");
  EXPECT_EQ(view.entries, (Strings{"[General]", " Living room TV", " Kitchen radio", " Lamp",
                                   " X10 modules", " Applications"}));
  EXPECT_EQ(FindHeaderOf("kitchen RADIO", store.importText), "[Radio]");
  EXPECT_EQ(FindHeaderOf("no such text", store.importText), "");
}

TEST_F(ImportForm, ExportsTheGeneralBlockAndOneDevice) {
  const auto file = dir / "backup.cfg";
  prompter.fileAnswers = {file.string()};
  EXPECT_FALSE(PressImportButton(store, prompter, {}));  // nothing ticked: nothing happens
  EXPECT_TRUE(prompter.fileDialogs.empty());
  ASSERT_TRUE(PressImportButton(store, prompter, {" Living room TV"}));
  EXPECT_EQ(ReadFile(file), Crlf("# Zarvel Rezoru Zazudaz configuration file\n"
                                 "# Exported devices and sections\n\n" +
                                 kGeneralBlock + kTvBlock + "[End]\n"));
  EXPECT_EQ(prompter.fileDialogs,
            Strings{"Export Configuration File: Configuration Files (*.cfg)|*.cfg (.cfg)"});
  EXPECT_EQ(prompter.messages,
            Strings{"QVX: The following devices has been exported successfully:\r\n"
                    "[General]\r\n Living room TV\r\n"});
  EXPECT_TRUE(IsImportableText(ReadFile(file)));
  ExpectUnchanged();
}

TEST_F(ImportForm, ExportNamesGetTheExtensionOnce) {
  const struct {
    std::string typed, written;
  } cases[] = {{"backup", "backup.cfg"}, {"BACKUP.CFG", "BACKUP.CFG"}, {"x.cfg.txt", "x.cfg.txt.cfg"}};
  for (const auto& c : cases) {
    ScriptedPrompter fresh;
    fresh.fileAnswers = {(dir / c.typed).string()};
    EXPECT_TRUE(PressImportButton(store, fresh, {" X10 modules"})) << c.typed;
    EXPECT_TRUE(std::filesystem::exists(dir / c.written)) << c.typed;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "backup"));
  EXPECT_FALSE(std::filesystem::exists(dir / "BACKUP.CFG.cfg"));
}

TEST_F(ImportForm, AnExistingExportFileIsReplacedOnlyOnYes) {
  const auto file = dir / "old.cfg";
  test::WriteFile(file, "old");
  // No: the save dialog comes again; cancelling it writes nothing and keeps the dialog open.
  prompter.fileAnswers = {(dir / "old").string()};
  prompter.yesNoAnswers = {false};
  EXPECT_FALSE(PressImportButton(store, prompter, {" Living room TV"}));
  EXPECT_EQ(ReadFile(file), "old");
  EXPECT_EQ(prompter.fileDialogs.size(), 2u);
  EXPECT_EQ(prompter.questions,
            Strings{"The file " + file.string() + " exist.\r\nDo you want to replace it?"});
  EXPECT_EQ(prompter.questionTitles, Strings{"File exist"});
  prompter.fileAnswers = {file.string()};
  prompter.yesNoAnswers = {true};
  EXPECT_TRUE(PressImportButton(store, prompter, {" Living room TV"}));
  EXPECT_NE(ReadFile(file).find("[TV]"), std::string::npos);
}

TEST_F(ImportForm, AnUnwritableExportPlaceIsReportedAndWritesNothing) {
  const auto file = dir / "missing" / "backup.cfg";
  prompter.fileAnswers = {file.string()};
  EXPECT_FALSE(PressImportButton(store, prompter, {" Living room TV"}));
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].rfind("QVX: The file " + file.string() + " could not be written: ", 0),
            0u)
      << prompter.messages[0];
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(ImportForm, OpeningAFileChecksThatItIsAConfiguration) {
  const struct {
    std::string content;
    bool valid;
  } cases[] = {
      {kImport, true},
      {Crlf("# Something else\n[General]\n[End]\n"), false},
      {Crlf("# Rezoru Zazudaz\n[TV]\n[End]\n"), false},
  };
  for (const auto& c : cases) {
    ScriptedPrompter fresh;
    test::WriteFile(dir / "in.cfg", c.content);
    fresh.fileAnswers = {(dir / "in.cfg").string()};
    EXPECT_EQ(OpenImportFile(store, fresh), c.valid) << c.content;
    EXPECT_EQ(fresh.statuses, c.valid ? Strings{} : Strings{"This is not a valid configuration file!"});
    EXPECT_EQ(fresh.fileDialogs,
              Strings{"Open Configuration File: Configuration Files (*.cfg)|*.cfg|Text Files "
                      "(*.txt)|*.txt|All Files (*.*)|*.*"});
  }
  EXPECT_TRUE(store.importMode);
}

TEST_F(ImportForm, OverridingThenRenamingReplacesTheBlockBeforeX10) {
  prompter.okCancelAnswers = {true};
  prompter.textAnswers = {"  Telly  "};
  ASSERT_TRUE(Import(" Living room TV"));
  ExpectSaved(ConfigWith(kTvBlock + "[X10]", "[Telly]\n" + kTellyBlock + "[X10]"));
  EXPECT_EQ(prompter.questions,
            Strings{"The device  Living room TV exist in the current configuration file.\r\n"
                    "Do you want to override it?"});
  EXPECT_EQ(prompter.questionTitles, Strings{"Device override"});
  EXPECT_EQ(prompter.inputPrompts, Strings{"QVX: Enter a device name for:  Living room TV."});
  EXPECT_EQ(prompter.messages,
            Strings{"QVX: The following devices has been imported successfully:\r\n"
                    " Living room TV\r\n"});
}

TEST_F(ImportForm, ACancelledImportLosesNothing) {
  // Cancel at the override question, and cancel at the name prompt after confirming it.
  for (const bool override : {false, true}) {
    ScriptedPrompter fresh;
    fresh.okCancelAnswers = {override};
    store.importMode = true;
    EXPECT_FALSE(ImportSection(store, fresh, " Living room TV"));
    EXPECT_EQ(fresh.inputPrompts.size(), override ? 1u : 0u);
  }
  ExpectUnchanged();
}

TEST_F(ImportForm, TheNameIsAskedAgainUntilItIsFree) {
  prompter.textAnswers = {"Bad,Name", "tv", "Radio"};
  ASSERT_TRUE(Import(" Kitchen radio"));
  EXPECT_EQ(prompter.messages,
            (Strings{"QVX: Device name cannot contain the following characters: [ ] , # ",
                     "QVX: There is another device named tv",
                     "QVX: The following devices has been imported successfully:\r\n"
                     " Kitchen radio\r\n"}));
  ExpectSaved(ConfigWith("[X10]", "[Radio]\n" + kRadioBlock + "[X10]"));
}

TEST_F(ImportForm, TextInAnotherSectionIsNoDeviceToOverride) {
  // " Lamp" occurs in the [Application] section of the configuration; that section stays.
  prompter.okCancelAnswers = {true};
  prompter.textAnswers = {"Lampy"};
  ASSERT_TRUE(Import(" Lamp"));
  EXPECT_TRUE(prompter.questions.empty());
  ExpectSaved(ConfigWith("[X10]", "[Lampy]\n# Lamp\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 0\nBITG= 1\n"
                                  "BIT0= 10\nBIT1= 1000\nGREPEAT= 1\n\n[X10]"));
}

TEST_F(ImportForm, SpecialSectionsGetTheirNewLinesInReverseOrder) {
  // Lines already present (in any case) are skipped, blank ones too; the rest go after the
  // section's last line, each in front of the one imported before it.
  ASSERT_TRUE(Import(" X10 modules"));
  std::string expected =
      ConfigWith("/X10/*a1,Lamp\n", "/X10/*a1,Lamp\n/X10/*c3,Pump\n/X10/*b2,Fan\n");
  ExpectSaved(expected);
  // Whole lines are compared: the entry without "@" is a line of its own.
  ASSERT_TRUE(Import(" Applications"));
  const std::string last = "Lamp sound\r\n";
  expected.insert(expected.find(last) + last.size(), "/usr/bin/xterm,Terminal\r\n");
  ExpectSaved(expected);
}

TEST_F(ImportForm, GeneralKeysAreWrittenAndUnknownOnesReported) {
  ASSERT_TRUE(Import("[General]"));
  ExpectSaved(ConfigWith("COMPORT= 1\nPROCDELAY= 10\n", "COMPORT= 3\nPROCDELAY= 20\n"));
  EXPECT_EQ(store.general.comPort, 3);
  EXPECT_EQ(prompter.messages,
            (Strings{"QVX: The parameter FOO is invalid.\r\nIt will not be loaded.",
                     "QVX: The parameter GPROTO is invalid.\r\nIt will not be loaded.",
                     "QVX: Updated general parameters:\r\n\r\nCOMPORT= 3\r\nFOO= 1\r\nGPROTO= 7\r\n"
                     "PROCDELAY= 20\r\n",
                     "QVX: The following devices has been imported successfully:\r\n[General]\r\n"}));
}

}  // namespace
}  // namespace qvx
