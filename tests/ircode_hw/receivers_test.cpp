// The COM list, the change of port, the receiver types with their lines, the output mode kept
// in ITYPE, the TxD and IrDA settings and the IRMan initialisation, on simulated ports.
#include <gtest/gtest.h>

#include "tests/ircode_hw/hw_fixture.h"

namespace qvx::ircode::test {
namespace {

using platform::OutputLine;
using platform::sim::ReceiverWiring;

class Receivers : public HwTest {};

TEST_F(Receivers, ComListShowsThePresentPortsAndOpensTheConfiguredOne) {
  auto com2 = InstallReceiver(2, ReceiverWiring::DcdStandard);
  auto com5 = InstallReceiver(5, ReceiverWiring::DcdStandard);
  SetKey("COMPORT", "5");

  EXPECT_EQ(ListAvailableCOM(iface_, store_), "");
  EXPECT_EQ(iface_.controls.comList, (std::vector<std::string>{"COM2", "COM5"}));
  EXPECT_EQ(iface_.controls.comSelected, 1);
  EXPECT_EQ(iface_.controls.comListText, Colour::Green);
  EXPECT_GT(iface_.handle, 0);
  EXPECT_EQ(GetHandle(), iface_.handle);
  EXPECT_TRUE(com5->IsOpen());
  EXPECT_FALSE(com2->IsOpen());
  EXPECT_EQ(com5->Timeouts(), (platform::PortTimeouts{platform::PortTimeouts::kMaxDword, 0, 0, 1, 10}));
}

TEST_F(Receivers, ComListOpensNothingWhenTheConfiguredPortIsMissing) {
  auto com5 = InstallReceiver(5, ReceiverWiring::DcdStandard);
  SetKey("COMPORT", "3");
  EXPECT_EQ(ListAvailableCOM(iface_, store_), "");
  EXPECT_EQ(iface_.controls.comList, (std::vector<std::string>{"COM5"}));
  EXPECT_EQ(iface_.controls.comSelected, -1);
  EXPECT_EQ(iface_.handle, kPortFailed);
  EXPECT_EQ(iface_.controls.comListText, Colour::Red);
  EXPECT_FALSE(com5->IsOpen());
  EXPECT_EQ(GetHandle(), 0);
}

TEST_F(Receivers, NoPortAtAllIsReported) {
  EXPECT_EQ(ListAvailableCOM(iface_, store_), "There is no COM port available!");
  EXPECT_TRUE(iface_.controls.comList.empty());
  EXPECT_EQ(iface_.handle, kPortClosed);
}

TEST_F(Receivers, ChoosingTheSamePortDoesNothing) {
  auto com1 = InstallReceiver(1, ReceiverWiring::DcdStandard);
  ListAvailableCOM(iface_, store_);
  const PortHandle before = iface_.handle;
  const std::string file = qvx::test::ReadFile(store_.path);
  EXPECT_TRUE(ChangeComPort(iface_, store_, "COM1", prompter_, clock_));
  EXPECT_EQ(iface_.handle, before);
  EXPECT_TRUE(com1->IsOpen());
  EXPECT_EQ(qvx::test::ReadFile(store_.path), file);
  for (const char* entry : {"COM", "COMx", "COM0", "", "COM-3"}) {
    EXPECT_FALSE(ChangeComPort(iface_, store_, entry, prompter_, clock_)) << entry;
  }
  EXPECT_EQ(iface_.handle, before);
  EXPECT_EQ(qvx::test::ReadFile(store_.path), file);
}

TEST_F(Receivers, ChoosingTheX10PortTakesItForInfraredAndClearsX10com) {
  auto com1 = InstallReceiver(1, ReceiverWiring::DcdStandard);
  auto com3 = InstallReceiver(3, ReceiverWiring::DcdStandard);
  SetKey("X10COM", "3");
  ListAvailableCOM(iface_, store_);

  EXPECT_TRUE(ChangeComPort(iface_, store_, "COM3", prompter_, clock_));
  EXPECT_FALSE(com1->IsOpen());
  EXPECT_TRUE(com3->IsOpen());
  ASSERT_GT(iface_.handle, 0);  // may be COM1's number again: the system reuses closed handles
  EXPECT_EQ(GetHandle(), iface_.handle);
  EXPECT_EQ(FileValue("COMPORT"), " 3");
  EXPECT_EQ(FileValue("X10COM"), " 0");
  EXPECT_EQ(store_.general.x10Com, 0);
  EXPECT_EQ(iface_.controls.comSelected, 1);
  EXPECT_EQ(iface_.controls.comListText, Colour::Green);
  // The stored interface (DCD standard, DTR output) was applied to the new port.
  EXPECT_TRUE(com3->LineOn(OutputLine::Rts));
  EXPECT_FALSE(com3->LineOn(OutputLine::Dtr));
  EXPECT_EQ(iface_.controls.receiverCaption, "DCDStd");
}

TEST_F(Receivers, APortThatDoesNotOpenTurnsTheListRed) {
  InstallReceiver(1, ReceiverWiring::DcdStandard);
  auto com2 = InstallReceiver(2, ReceiverWiring::DcdStandard);
  ListAvailableCOM(iface_, store_);
  iface_.irManReady = true;
  com2->SetFailing(platform::sim::PeerOperation::Open, true);

  EXPECT_FALSE(ChangeComPort(iface_, store_, "COM2", prompter_, clock_));
  EXPECT_EQ(iface_.handle, kPortFailed);
  EXPECT_EQ(iface_.controls.comListText, Colour::Red);
  EXPECT_FALSE(iface_.irManReady);
  EXPECT_EQ(FileValue("COMPORT"), " 2");
  EXPECT_EQ(GetHandle(), 0);
}

TEST_F(Receivers, EachReceiverTypeSetsItsLinesCaptionAndItype) {
  struct Case {
    int type;
    const char* caption;
    bool rts, dtr;
    bool txdEnabled, firmVisible;
    const char* itype;
  };
  const Case cases[] = {
      {kReceiverDcdStd, "DCDStd", true, false, true, false, " 0"},
      {kReceiverIRMouse, "IRMouse", true, true, true, false, " 1"},
      {kReceiverCreative, "Creative", true, true, false, false, " 3"},
      {kReceiverFirm, "FirM", false, false, false, true, " 4"},
      {kReceiverUnknown, "Unknown", true, true, true, false, " 9"},
  };
  auto com1 = InstallReceiver(1, ReceiverWiring::DcdStandard);
  OpenIrPort(1);
  for (const Case& c : cases) {
    // Lines start the other way round; "Unknown" sets none and is seen to keep them.
    const bool setsLines = c.type != kReceiverUnknown;
    SetRtsLine(setsLines ? !c.rts : c.rts, iface_.handle);
    SetDtrLine(setsLines ? !c.dtr : c.dtr, iface_.handle);
    SetTxdBreak(true, iface_.handle);
    ChooseReceiverType(iface_, store_, c.type, prompter_, clock_);
    EXPECT_EQ(com1->LineOn(OutputLine::Rts), c.rts) << c.caption;
    EXPECT_EQ(com1->LineOn(OutputLine::Dtr), c.dtr) << c.caption;
    EXPECT_EQ(com1->LineOn(OutputLine::Break), c.type != kReceiverIRMouse) << c.caption;
    EXPECT_EQ(iface_.controls.receiverCaption, c.caption);
    EXPECT_EQ(iface_.controls.tickedReceiverMenu, c.type);
    EXPECT_EQ(iface_.controls.txdEnabled, c.txdEnabled) << c.caption;
    EXPECT_EQ(iface_.controls.firmControlsVisible, c.firmVisible) << c.caption;
    EXPECT_EQ(FileValue("ITYPE"), c.itype) << c.caption;
    EXPECT_EQ(store_.general.receiverType, c.type);
  }
  EXPECT_EQ(com1->Settings().baudRate, 9600u);  // FirM talks at 9600 baud, 8 data bits
  EXPECT_EQ(com1->Settings().dataBits, 8);
  const std::string file = qvx::test::ReadFile(store_.path);
  ChooseReceiverType(iface_, store_, 7, prompter_, clock_);  // no such menu
  EXPECT_EQ(qvx::test::ReadFile(store_.path), file);
}

TEST_F(Receivers, TxdWithAnIrMouseIsStoredAs17AndLoadsBack) {
  auto com1 = InstallReceiver(1, ReceiverWiring::IrMouse);
  OpenIrPort(1);
  ChooseReceiverType(iface_, store_, kReceiverIRMouse, prompter_, clock_);
  SetTxdOutput(iface_, store_, true);
  EXPECT_EQ(FileValue("ITYPE"), " 17");
  EXPECT_EQ(com1->Settings().baudRate, 115200u);
  EXPECT_EQ(com1->Settings().dataBits, 6);
  EXPECT_TRUE(iface_.controls.txdChecked);
  EXPECT_FALSE(iface_.controls.irdaEnabled);

  ConfigStore reloaded;
  reloaded.path = store_.path;
  ASSERT_TRUE(LoadGeneral(reloaded).ok);
  EXPECT_EQ(reloaded.general.outputMode, 1);
  EXPECT_EQ(reloaded.general.receiverType, 1);

  SetTxdOutput(iface_, store_, false);
  EXPECT_EQ(FileValue("ITYPE"), " 1");
  EXPECT_TRUE(iface_.controls.irdaEnabled);
  EXPECT_EQ(com1->Settings().baudRate, 115200u);  // clearing the box keeps the port's format
}

TEST_F(Receivers, FirmClearsTheTxdSetting) {
  InstallReceiver(1, ReceiverWiring::DcdStandard);
  OpenIrPort(1);
  SetTxdOutput(iface_, store_, true);
  EXPECT_EQ(FileValue("ITYPE"), " 16");
  ChooseReceiverType(iface_, store_, kReceiverFirm, prompter_, clock_);
  EXPECT_EQ(FileValue("ITYPE"), " 4");
  EXPECT_FALSE(iface_.controls.txdChecked);
  EXPECT_FALSE(iface_.controls.txdEnabled);
  EXPECT_FALSE(iface_.controls.irdaEnabled);
  ChooseReceiverType(iface_, store_, kReceiverDcdStd, prompter_, clock_);
  EXPECT_TRUE(iface_.controls.txdEnabled);
  EXPECT_TRUE(iface_.controls.irdaEnabled);
  EXPECT_FALSE(iface_.controls.firmControlsVisible);
}

TEST_F(Receivers, IrdaIsNotYetImplemented) {
  InstallReceiver(1, ReceiverWiring::DcdStandard);
  OpenIrPort(1);
  const std::string file = qvx::test::ReadFile(store_.path);
  SetIrdaOutput(iface_, true, prompter_);
  EXPECT_EQ(prompter_.messages, (std::vector<std::string>{"QVX: Not yet implemented"}));
  EXPECT_FALSE(iface_.controls.irdaChecked);
  EXPECT_TRUE(iface_.controls.txdEnabled);
  EXPECT_EQ(store_.general.outputMode, 0);
  EXPECT_EQ(qvx::test::ReadFile(store_.path), file);
  SetIrdaOutput(iface_, false, prompter_);
  EXPECT_EQ(prompter_.messages.size(), 1u);
}

TEST_F(Receivers, ApplyInterfaceSetsOutputModeThenReceiver) {
  struct Case {
    const char* itype;
    bool txd, irda;
    uint32_t baud;
    const char* caption;
  };
  const Case cases[] = {
      {"1", false, false, 9600, "IRMouse"},
      {"17", true, false, 115200, "IRMouse"},
      {"32", false, true, 9600, "DCDStd"},
      {"9", false, false, 9600, ""},  // "Unknown" has no menu action here: the caption is emptied
  };
  auto com1 = InstallReceiver(1, ReceiverWiring::IrMouse);
  OpenIrPort(1);
  for (const Case& c : cases) {
    SetPortMode(9600, 8, iface_.handle);
    SetKey("ITYPE", c.itype);
    ApplyInterface(iface_, store_, prompter_, clock_);
    EXPECT_EQ(iface_.controls.txdChecked, c.txd) << c.itype;
    EXPECT_EQ(iface_.controls.irdaChecked, c.irda) << c.itype;
    EXPECT_EQ(com1->Settings().baudRate, c.baud) << c.itype;
    EXPECT_EQ(iface_.controls.receiverCaption, c.caption) << c.itype;
    EXPECT_EQ(FileValue("ITYPE"), std::string(" ") + c.itype);
  }
}

TEST_F(Receivers, IrManInitialisesOnceAndSaysSo) {
  auto box = platform::sim::InstallIrManPeer(PeerName(1), clock_, "OK");  // any case is taken
  OpenIrPort(1);
  EXPECT_TRUE(InitIRMan(iface_, prompter_, clock_));
  EXPECT_TRUE(iface_.irManReady);
  EXPECT_TRUE(box->Initialised());
  EXPECT_EQ(prompter_.messages, (std::vector<std::string>{"QVX: IRMan interface initialized OK"}));
  EXPECT_EQ(std::string(box->ReceivedBytes().begin(), box->ReceivedBytes().end()), "IR");
  EXPECT_EQ(box->Settings().baudRate, 9600u);

  // A second time on the same open port does nothing at all.
  const int64_t before = clock_.NowNs();
  EXPECT_TRUE(InitIRMan(iface_, prompter_, clock_));
  EXPECT_EQ(clock_.NowNs(), before);
  EXPECT_EQ(box->ReceivedBytes().size(), 2u);
  EXPECT_EQ(prompter_.messages.size(), 1u);
}

TEST_F(Receivers, IrManMenuInitialisesAndAReopenedPortNeedsItAgain) {
  auto box = platform::sim::InstallIrManPeer(PeerName(1), clock_);
  InstallReceiver(2, ReceiverWiring::DcdStandard);
  ListAvailableCOM(iface_, store_);
  ChooseReceiverType(iface_, store_, kReceiverIRMan, prompter_, clock_);
  EXPECT_TRUE(iface_.irManReady);
  EXPECT_EQ(FileValue("ITYPE"), " 2");
  EXPECT_EQ(iface_.controls.receiverCaption, "IRMan");
  ChangeComPort(iface_, store_, "COM2", prompter_, clock_);
  // The stored type is IRMan, so the new port's receiver gets initialised (and finds none).
  EXPECT_FALSE(iface_.irManReady);
  EXPECT_EQ(prompter_.messages,
            (std::vector<std::string>{"QVX: IRMan interface initialized OK",
                                      "QVX: IRMan interface cannot be initialized!"}));
}

TEST_F(Receivers, IrManThatNeverAnswersIsReportedAfterTwentyPolls) {
  InstallReceiver(1, ReceiverWiring::DcdStandard);
  OpenIrPort(1);
  const double start = ElapsedMs();
  EXPECT_FALSE(InitIRMan(iface_, prompter_, clock_));
  EXPECT_FALSE(iface_.irManReady);
  EXPECT_EQ(prompter_.messages,
            (std::vector<std::string>{"QVX: IRMan interface cannot be initialized!"}));
  // 200 + 500 + 500 ms of set-up, then 20 polls of 100 ms.
  EXPECT_NEAR(ElapsedMs() - start, 3200, 5);
}

TEST_F(Receivers, InfraredSwitchesAreWrittenAndSaved) {
  EXPECT_TRUE(store_.general.irInEna);
  EXPECT_FALSE(ToggleInfraredIn(store_));
  EXPECT_EQ(FileValue("IRINENA"), " 0");
  EXPECT_TRUE(ToggleInfraredIn(store_));
  EXPECT_EQ(FileValue("IRINENA"), " 1");
  EXPECT_FALSE(ToggleInfraredOut(store_));
  EXPECT_EQ(FileValue("IROUTENA"), " 0");
  EXPECT_FALSE(store_.general.irOutEna);
}

TEST_F(Receivers, ClosingGivesThePortBackAndTakesItFromPulsio) {
  auto com1 = InstallReceiver(1, ReceiverWiring::DcdStandard);
  ListAvailableCOM(iface_, store_);
  ASSERT_TRUE(com1->IsOpen());
  CloseIrPort(iface_);
  EXPECT_FALSE(com1->IsOpen());
  EXPECT_EQ(iface_.handle, kPortClosed);
  EXPECT_EQ(GetHandle(), 0);
}

TEST(ReceiverCaptions, MenuAndStartupTexts) {
  EXPECT_EQ(ItypeValue(1, 1), 17);
  EXPECT_EQ(ItypeValue(0, 4), 4);
  const char* menu[] = {"DCDStd", "IRMouse", "IRMan", "Creative", "FirM"};
  const char* startup[] = {"DCD Std", "IR Mouse", "IR Man", "Creative", "FirM"};
  for (int type = 0; type <= 4; ++type) {
    EXPECT_EQ(ReceiverCaption(type), menu[type]);
    EXPECT_EQ(StartupReceiverCaption(type), startup[type]);
  }
  EXPECT_EQ(ReceiverCaption(9), "Unknown");
  EXPECT_EQ(StartupReceiverCaption(9), "Unknown");
  EXPECT_EQ(StartupReceiverCaption(6), "Unknown");
  EXPECT_EQ(ReceiverCaption(6), "");
}

}  // namespace
}  // namespace qvx::ircode::test
