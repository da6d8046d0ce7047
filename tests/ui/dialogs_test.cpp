// The device dialog and the import/export dialog through the window: a learned code becomes a
// new device, and a device exported from one configuration is imported into another.

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "qvx/ui/model/demo_remote.h"
#include "tests/ui/window_fixture.h"

namespace qvx::test {
namespace {

// Ticks the entry of ImportList that shows this description (after its "#" and blank).
void Tick(QDialog& dialog, const QString& description) {
  auto* list = In<QTreeWidget>(dialog, "ImportList");
  const auto items = list->findItems(" " + description, Qt::MatchExactly);
  ASSERT_EQ(items.size(), 1) << description.toStdString();
  items.front()->setCheckState(0, Qt::Checked);
}

TEST_F(WindowTest, ALearnedCodeBecomesANewDevice) {
  Open();
  Choose("Protocol", "Recorded");
  bool toggle = false;
  ir_->PlayRemote(ui::DemoPress(SavedConfig(), ui::DemoKeys()[0], toggle), 20'000);
  Click("RecButton");
  ASSERT_EQ(Text("CodeStr"), "G100110011010");
  const std::string learnedPulse = Text("SendPulse");

  prompter_.yesNoAnswers = {true};
  OnModalDialog([this] { Menu("FileNewMenu")->trigger(); }, [&](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Device Parameters");
    EXPECT_EQ(In<QComboBox>(dialog, "GProtoIn")->currentText(), "SONY");
    EXPECT_EQ(In<QLineEdit>(dialog, "SendPlsIn")->text().toStdString(), learnedPulse);
    In<QLineEdit>(dialog, "CProtIn")->setText(" Hifi ");
    In<QLineEdit>(dialog, "ProtDesc")->setText("Kitchen radio");
    In<QPushButton>(dialog, "CreateButton")->click();
    EXPECT_FALSE(dialog.isVisible());
  });
  const std::string pulse = std::to_string(std::stoi(learnedPulse));
  const std::string block = "[Hifi]\r\n# Kitchen radio\r\nGPROTO= 1\r\nSENDPLS= " + pulse +
                            "\r\nREPEAT= 40\r\nBITG= 1111\r\nBIT0= 01\r\nBIT1= 011\r\n"
                            "GREPEAT= 40\r\n\r\n";
  // Placed in front of the blank line before [X10], the block's own blank line after it.
  EXPECT_EQ(SavedConfig(), EditedConfig({{"[X10]\r\n", block + "\r\n[X10]\r\n"}}));
  ASSERT_EQ(prompter_.questions.size(), 1u);
  EXPECT_EQ(prompter_.questions[0],
            "A new device with the following parameters will be created:\r\n\r\n" + block +
                "\r\nDo you want to save it?");
  EXPECT_EQ(Text("Protocol"), "TV");
  EXPECT_EQ(Text("SendPulse"), " " + pulse);
  Choose("Protocol", "Hifi");
  EXPECT_EQ(Text("SendCmd"), "EMPTY");
}

TEST_F(WindowTest, ADeviceExportedFromOneConfigurationIsImportedIntoAnother) {
  Open();
  const std::filesystem::path exported = dir_ / "vcr";
  prompter_.fileAnswers = {exported.string()};
  OnModalDialog([this] { Menu("FileSaveMenu")->trigger(); }, [](QDialog& dialog) {
    EXPECT_EQ(In<QPushButton>(dialog, "ImportButton")->text(), "&Export");
    Tick(dialog, "Video recorder");
    In<QPushButton>(dialog, "ImportButton")->click();
  });
  const std::string delivered = ReadFile(DeliveredConfig());
  const auto vcr = delivered.find("[VCR]");
  const auto amp = delivered.find("[Amp]");
  const std::string vcrBlock = delivered.substr(vcr, amp - vcr);
  const auto general = delivered.find("[General]");
  EXPECT_EQ(ReadFile(dir_ / "vcr.cfg"),
            "# Zarvel Rezoru Zazudaz configuration file\r\n# Exported devices and sections\r\n\r\n" +
                delivered.substr(general, delivered.find("[TV]") - general) + vcrBlock +
                "[End]\r\n");
  EXPECT_EQ(prompter_.messages.back(),
            "QVX: The following devices has been exported successfully:\r\n[General]\r\n"
            " Video recorder\r\n");

  window_.reset();
  std::string other = delivered;
  other.erase(vcr, amp - vcr);
  Open(other);
  prompter_.fileAnswers = {(dir_ / "vcr.cfg").string()};
  prompter_.textAnswers = {std::string("Video")};
  OnModalDialog([this] { Menu("FileImportMenu")->trigger(); }, [](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Available Sections");
    EXPECT_EQ(In<QPushButton>(dialog, "ImportButton")->text(), "&Import");
    Tick(dialog, "Video recorder");
    In<QPushButton>(dialog, "ImportButton")->click();
  });
  std::string expected = other;
  expected.insert(expected.find("[X10]"), "[Video]" + vcrBlock.substr(5));
  EXPECT_EQ(SavedConfig(), expected);
  EXPECT_EQ(prompter_.messages.back(),
            "QVX: The following devices has been imported successfully:\r\n Video recorder\r\n");
  Choose("Protocol", "Video");
  EXPECT_EQ(Text("SendCmd"), "Power");
}

}  // namespace
}  // namespace qvx::test
