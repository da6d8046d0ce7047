#include "qvx/config/importform.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "qvx/config/store.h"
#include "tests/support/support.h"

namespace qvx {
namespace {

using test::Crlf;
using test::ReadFile;
using Strings = std::vector<std::string>;

const std::string kGeneralBlock = "[General]\nCOMPORT= 1\nPROCDELAY= 10\n\n";
const std::string kTvBlock =
    "[TV]\n# Living room TV\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 50\nBITG= 1111\nBIT0= 10\n"
    "BIT1= 1000\nGREPEAT= 1\nG0011,Power\n\n";
const std::string kConfig =
    Crlf("# Zarvel Rezoru Zazudaz configuration file\n\n" + kGeneralBlock + kTvBlock +
         "[X10]\n# X10 modules\n/X10/*a1,Lamp\n\n"
         "[Application]\n# Applications\n@/usr/bin/xterm,Terminal\n"
         "/usr/bin/mpv Lamp.wav,Lamp sound\n\n"
         "[Monitoring]\n# Monitored events\nTV&Power,X10&Lamp&On\n\n"
         "[End]\n");

const std::string kTellyLines =
    "# Living room TV\nGPROTO= 1\nSENDPLS= 600\nREPEAT= 40\nBITG= 1111\nBIT0= 01\nBIT1= 011\n"
    "GREPEAT= 40\nG0101,Mute\n\n";
const std::string kRadioLines = "# Kitchen radio\nGPROTO= 2\nG11000100001100,Standby\n\n";
const std::string kLampLines = "# Lamp\nGPROTO= 0\n\n";
const std::string kImport = Crlf(
    "# Zarvel Rezoru Zazudaz configuration file\n\n"
    "[General]\nCOMPORT= 3\nFOO= 1\nGPROTO= 7\nPROCDELAY= 20\n\n"
    "[Telly]\n" +
    kTellyLines + "[Radio]\n" + kRadioLines + "[Lampy]\n" + kLampLines +
    "[X10]\n# X10 modules\n/X10/*a1,Lamp\n/X10/*b2,Fan\n\n/X10/*c3,Pump\n/x10/*A1,LAMP\n\n"
    "[Application]\n# Applications\n/usr/bin/xterm,Terminal\n\n"
    "[End]\n");

// The configuration with `from` replaced by `to` (both written with LF line ends).
std::string ConfigWith(const std::string& from, const std::string& to) {
  std::string text = kConfig;
  return text.replace(text.find(Crlf(from)), Crlf(from).size(), Crlf(to));
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
  bool Export(const std::string& typedName, const std::string& entry = " Living room TV") {
    prompter.fileAnswers = {(dir / typedName).string()};
    return PressImportButton(store, prompter, {entry});
  }
  void ExpectSaved(const std::string& expected) {
    EXPECT_EQ(store.text, expected);
    EXPECT_EQ(ReadFile(store.path), expected);
  }
  test::TempDir dir;
  ConfigStore store;
  test::ScriptedPrompter prompter;
};

TEST_F(ImportForm, ListsTheSectionsByDescriptionInBothModes) {
  ImportFormView view = OpenImportForm(store);
  EXPECT_EQ(view.hint + " " + view.buttonCaption,
            "Check the items to export and click Export &Export");
  EXPECT_EQ(view.entries,
            (Strings{" Living room TV", " X10 modules", " Applications", " Monitored events"}));
  store.importMode = true;
  view = OpenImportForm(store);
  EXPECT_EQ(view.hint + " " + view.buttonCaption,
            "Check the items to import and click Import &Import");
  EXPECT_EQ(view.entries, (Strings{"[General]", " Living room TV", " Kitchen radio", " Lamp",
                                   " X10 modules", " Applications"}));
  EXPECT_EQ(FindHeaderOf("kitchen RADIO", store.importText), "[Radio]");
  EXPECT_EQ(FindHeaderOf("no such text", store.importText), "");
}

TEST_F(ImportForm, ExportWritesTheGeneralBlockOneDeviceAndTheEndMarker) {
  EXPECT_FALSE(PressImportButton(store, prompter, {}));  // nothing ticked: nothing happens
  EXPECT_TRUE(prompter.fileDialogs.empty());
  ASSERT_TRUE(Export("backup"));
  EXPECT_EQ(ReadFile(dir / "backup.cfg"), Crlf("# Zarvel Rezoru Zazudaz configuration file\n"
                                               "# Exported devices and sections\n\n" +
                                               kGeneralBlock + kTvBlock + "[End]\n"));
  EXPECT_EQ(prompter.fileDialogs,
            Strings{"Export Configuration File: Configuration Files (*.cfg)|*.cfg (.cfg)"});
  EXPECT_EQ(prompter.messages, Strings{"QVX: The following devices has been exported "
                                       "successfully:\r\n[General]\r\n Living room TV\r\n"});
  EXPECT_TRUE(IsImportableText(ReadFile(dir / "backup.cfg")));
  EXPECT_TRUE(Export("BACKUP.CFG"));
  EXPECT_TRUE(Export("x.cfg.txt"));
  Strings files;  // ".cfg" added once, and the configuration itself not written
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    files.push_back(entry.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (Strings{"BACKUP.CFG", "backup.cfg", "x.cfg.txt.cfg"}));
}

TEST_F(ImportForm, AnExportReplacesAFileOnlyOnYesAndWritesNothingWhereItCannot) {
  test::WriteFile(dir / "old.cfg", "old");
  // No: the save dialog comes again; cancelling it writes nothing and keeps the dialog open.
  prompter.yesNoAnswers = {false};
  EXPECT_FALSE(Export("old"));
  EXPECT_EQ(prompter.fileDialogs.size(), 2u);
  EXPECT_EQ(prompter.questionTitles, Strings{"File exist"});
  EXPECT_EQ(prompter.questions, Strings{"The file " + (dir / "old.cfg").string() +
                                        " exist.\r\nDo you want to replace it?"});
  EXPECT_EQ(ReadFile(dir / "old.cfg"), "old");
  prompter.yesNoAnswers = {true};
  EXPECT_TRUE(Export("old.cfg"));
  EXPECT_NE(ReadFile(dir / "old.cfg").find("[TV]"), std::string::npos);

  prompter = {};
  const std::string unwritable = (dir / "missing" / "backup.cfg").string();
  EXPECT_FALSE(Export("missing/backup.cfg"));
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(
      prompter.messages[0].rfind("QVX: The file " + unwritable + " could not be written: ", 0), 0u)
      << prompter.messages[0];
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST_F(ImportForm, OpeningAFileChecksThatItIsAConfiguration) {
  for (const auto& [content, valid] : {std::pair{kImport, true},
                                       {Crlf("# Something else\n[General]\n[End]\n"), false},
                                       {Crlf("# Rezoru Zazudaz\n[TV]\n[End]\n"), false}}) {
    test::ScriptedPrompter fresh;
    test::WriteFile(dir / "in.cfg", content);
    fresh.fileAnswers = {(dir / "in.cfg").string()};
    EXPECT_EQ(OpenImportFile(store, fresh), valid) << content;
    EXPECT_EQ(fresh.statuses,
              valid ? Strings{} : Strings{"This is not a valid configuration file!"});
    EXPECT_EQ(fresh.fileDialogs,
              Strings{"Open Configuration File: Configuration Files (*.cfg)|*.cfg|"
                      "Text Files (*.txt)|*.txt|All Files (*.*)|*.*"});
  }
  EXPECT_TRUE(store.importMode);
}

TEST_F(ImportForm, AnOverriddenDeviceIsReplacedOnlyWhenItsNewNameIsGiven) {
  // Cancel at the override question, then at the name prompt after confirming it: nothing lost.
  prompter.okCancelAnswers = {false, true, true};
  prompter.textAnswers = {std::nullopt, "  Telly  "};
  EXPECT_FALSE(ImportSection(store, prompter, " Living room TV"));
  EXPECT_FALSE(ImportSection(store, prompter, " Living room TV"));
  EXPECT_EQ(store.text, kConfig);
  EXPECT_FALSE(std::filesystem::exists(store.path));
  ASSERT_TRUE(Import(" Living room TV"));
  ExpectSaved(ConfigWith(kTvBlock + "[X10]", "[Telly]\n" + kTellyLines + "[X10]"));
  EXPECT_EQ(prompter.questions,
            Strings(3,
                    "The device  Living room TV exist in the current configuration file.\r\n"
                    "Do you want to override it?"));
  EXPECT_EQ(prompter.questionTitles, Strings(3, "Device override"));
  EXPECT_EQ(prompter.inputPrompts, Strings(2, "QVX: Enter a device name for:  Living room TV."));
  EXPECT_EQ(prompter.messages, Strings{"QVX: The following devices has been imported "
                                       "successfully:\r\n Living room TV\r\n"});
}

TEST_F(ImportForm, TheNameIsAskedAgainUntilItIsFree) {
  prompter.textAnswers = {"Bad,Name", "tv", "Radio"};
  ASSERT_TRUE(Import(" Kitchen radio"));
  EXPECT_EQ(prompter.messages,
            (Strings{"QVX: Device name cannot contain the following characters: [ ] , # ",
                     "QVX: There is another device named tv",
                     "QVX: The following devices has been imported successfully:\r\n"
                     " Kitchen radio\r\n"}));
  ExpectSaved(ConfigWith("[X10]", "[Radio]\n" + kRadioLines + "[X10]"));
  // " Lamp" also occurs in [Application]: that is no device to override.
  prompter = {};
  prompter.textAnswers = {"Lampy"};
  ASSERT_TRUE(Import(" Lamp"));
  EXPECT_TRUE(prompter.questions.empty());
  ExpectSaved(ConfigWith("[X10]", "[Radio]\n" + kRadioLines + "[Lampy]\n" + kLampLines + "[X10]"));
}

TEST_F(ImportForm, SpecialSectionsGetTheirNewLinesInReverseOrder) {
  // Lines already present (in any case) and blank ones are skipped; the rest go after the
  // section's last line, each in front of the one imported before it.
  ASSERT_TRUE(Import(" X10 modules"));
  std::string expected =
      ConfigWith("/X10/*a1,Lamp\n", "/X10/*a1,Lamp\n/X10/*c3,Pump\n/X10/*b2,Fan\n");
  ExpectSaved(expected);
  // Whole lines are compared: the entry without "@" is a line of its own.
  ASSERT_TRUE(Import(" Applications"));
  ExpectSaved(expected.insert(expected.find("Lamp sound\r\n") + 12, "/usr/bin/xterm,Terminal\r\n"));
}

TEST_F(ImportForm, GeneralKeysAreWrittenAndUnknownOnesReported) {
  ASSERT_TRUE(Import("[General]"));
  ExpectSaved(ConfigWith("COMPORT= 1\nPROCDELAY= 10\n", "COMPORT= 3\nPROCDELAY= 20\n"));
  EXPECT_EQ(store.general.comPort, 3);
  EXPECT_EQ(
      prompter.messages,
      (Strings{"QVX: The parameter FOO is invalid.\r\nIt will not be loaded.",
               "QVX: The parameter GPROTO is invalid.\r\nIt will not be loaded.",
               "QVX: Updated general parameters:\r\n\r\nCOMPORT= 3\r\nFOO= 1\r\nGPROTO= 7\r\n"
               "PROCDELAY= 20\r\n",
               "QVX: The following devices has been imported successfully:\r\n[General]\r\n"}));
}

const std::string kExportStart =
    "# Zarvel Rezoru Zazudaz configuration file\n# Exported devices and sections\n\n";

// A section is found by its own description line: the same words in another line (a command
// "Input TV", a path) do not make it that section's.
TEST_F(ImportForm, ADescriptionIsMatchedOnlyOnItsOwnLine) {
  const std::string amp = "[Amp]\n# Amplifier\nGPROTO= 2\nGREPEAT= 0\nG1100,Input TV\n\n";
  const std::string tv = "[TV]\n# TV\nGPROTO= 0\nSENDPLS= 550\nGREPEAT= 1\nG0011,Power\n\n";
  const std::string bare = "[Bare]\nGPROTO= 1\nGREPEAT= 0\n\n";  // no description line
  const std::string tail = "[X10]\n# X10 modules\n/X10/*a1,Lamp\n\n[End]\n";
  store.text = Crlf(kGeneralBlock + amp + tv + bare + tail);

  ASSERT_TRUE(Export("tv", " TV"));
  EXPECT_EQ(ReadFile(dir / "tv.cfg"), Crlf(kExportStart + kGeneralBlock + tv + "[End]\n"));
  ASSERT_TRUE(Export("bare", ""));
  EXPECT_EQ(ReadFile(dir / "bare.cfg"), Crlf(kExportStart + kGeneralBlock + bare + "[End]\n"));

  // The import file mentions " TV" in an earlier block too; the override takes TV, not Amp.
  const std::string telly = "# TV\nGPROTO= 1\nSENDPLS= 600\nGREPEAT= 40\nG0101,Mute\n\n";
  store.importText =
      Crlf("# Zarvel Rezoru Zazudaz\n[General]\n\n" + amp + "[Telly]\n" + telly + "[End]\n");
  prompter.okCancelAnswers = {true};
  prompter.textAnswers = {"Telly"};
  ASSERT_TRUE(Import(" TV"));
  ExpectSaved(Crlf(kGeneralBlock + amp + bare + "[Telly]\n" + telly + tail));
}

// A "[" inside a line (a path, the keyboard key "[") starts no section: lists, exports and
// imports go on to the real next header.
TEST_F(ImportForm, ABracketInsideALineStartsNoSection) {
  const std::string general = "[General]\nCOMPORT= 1\nWINAMPPATH= C:\\Progs [x86]\\winamp.exe\n\n";
  const std::string monitoring =
      "[Monitoring]\n# Monitored events\nBT0&1,Keyboard&[\nBT0&2,Winamp&PLAY\n\n";
  store.text = Crlf(general + kTvBlock + monitoring + "[End]\n");
  EXPECT_EQ(OpenImportForm(store).entries, (Strings{" Living room TV", " Monitored events"}));
  ASSERT_TRUE(Export("events", " Monitored events"));
  EXPECT_EQ(ReadFile(dir / "events.cfg"), Crlf(kExportStart + general + monitoring + "[End]\n"));

  store.importText = Crlf("# Zarvel Rezoru Zazudaz\n[General]\n\n[Monitoring]\n# Events\n"
                          "BT0&3,Keyboard&]\nBT0&4,Keyboard&[\nBT0&5,Mouse&UP\n\n[End]\n");
  ASSERT_TRUE(Import(" Events"));
  ExpectSaved(Crlf(general + kTvBlock +
                   "[Monitoring]\n# Monitored events\nBT0&1,Keyboard&[\nBT0&2,Winamp&PLAY\n"
                   "BT0&5,Mouse&UP\nBT0&4,Keyboard&[\nBT0&3,Keyboard&]\n\n[End]\n"));
}

// The questions that may replace something carry the warning icon; sections that share a
// description are named in the dialog, and an export writes such a section once.
TEST_F(ImportForm, SharedDescriptionsAreNamedAndRiskyQuestionsWarn) {
  const std::string twin = "[Twin]\n# Living room TV\nGPROTO= 1\nGREPEAT= 0\n\n";
  store.text = ConfigWith("[X10]", twin + "[X10]");
  const ImportFormView view = OpenImportForm(store);
  EXPECT_EQ(view.notice, "[Twin] has the same description as [TV], \" Living room TV\": that "
                         "entry stands for [TV].");
  test::WriteFile(dir / "old.cfg", "old");
  prompter.yesNoAnswers = {true};
  ASSERT_TRUE(Export("old", " Living room TV"));
  EXPECT_EQ(ReadFile(dir / "old.cfg"), Crlf(kExportStart + kGeneralBlock + kTvBlock + "[End]\n"));
  prompter.okCancelAnswers = {false};
  EXPECT_FALSE(ImportSection(store, prompter, " Living room TV"));
  EXPECT_EQ(prompter.questionTitles, (Strings{"File exist", "Device override"}));
  EXPECT_EQ(prompter.questionIcons,
            (std::vector<MessageIcon>{MessageIcon::Exclamation, MessageIcon::Exclamation}));
}

// A [General] import that cannot be saved says so instead of calling the key invalid.
TEST_F(ImportForm, AFailedSaveOfAGeneralImportIsReportedAsSuch) {
  store.path = dir / "missing" / "pelgrin.cfg";
  EXPECT_FALSE(ImportSection(store, prompter, "[General]"));
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].rfind("QVX: The configuration file could not be saved: ", 0), 0u)
      << prompter.messages[0];
  EXPECT_EQ(store.text, kConfig);
}

}  // namespace
}  // namespace qvx
