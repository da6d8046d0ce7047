#include "qvx/ircode/irsend.h"

#include <gtest/gtest.h>

#include <vector>

#include "qvx/ircode/pulsetext.h"

namespace qvx::ircode {
namespace {

// Records what reaches the transmitter and the beeps around it.
struct Transmitter {
  struct Call {
    std::vector<uint8_t> bytes;
    int slotUs = 0;
    int mode = 0;
  };
  std::vector<Call> calls;
  std::vector<std::string> events;

  IrTransmit Transmit() {
    return [this](const uint8_t* bytes, int lenBytes, int slotUs, int mode) {
      calls.push_back({std::vector<uint8_t>(bytes, bytes + lenBytes), slotUs, mode});
      events.push_back("send");
      return 1;
    };
  }
  Beeper Beep() {
    return [this](int freqHz, int durationMs) {
      events.push_back(std::to_string(freqHz) + "/" + std::to_string(durationMs));
    };
  }
};

SendRequest TvPower() {
  SendRequest request;
  request.device = "TV";
  request.command = "Power";
  request.deviceParams = DeviceParamsFromTexts(" 0", " 550", " 0", "111100", "10", "1000", " 1");
  request.slotField = " 560";
  request.codeField = "G01101001";
  request.outputMode = 1;
  return request;
}

TEST(SendIRCommand, RefusesWithTheSystemTexts) {
  struct Case {
    const char* name;
    void (*change)(SendRequest&);
    const char* status;
  };
  const Case cases[] = {
      {"output off", [](SendRequest& r) { r.irOutEnabled = false; }, "Infrared output is disabled!"},
      {"no block", [](SendRequest& r) { r.deviceParams.reset(); }, "Error sending infrared command!"},
      {"empty code", [](SendRequest& r) { r.codeField = "   "; }, "No code to be send!"},
      {"g and 4 bits", [](SendRequest& r) { r.codeField = "G1011"; }, "Invalid code to be send!"},
      {"letter", [](SendRequest& r) { r.codeField = "G10120"; }, "Please use only 1's and 0's for the code."},
      {"inner blank", [](SendRequest& r) { r.codeField = "G101 01"; }, "Please use only 1's and 0's for the code."},
      {"slot 0", [](SendRequest& r) { r.slotField = "abc"; }, "Error sending infrared command!"},
      {"recorded, nothing learned", [](SendRequest& r) { r.device = "Recorded"; },
       "Information about received command is not complete!"},
      {"recorded, unknown", [](SendRequest& r) {
         r.device = "recorded";
         r.recorded = {"8", "N", "1", 99};
       }, "You must first manually define a new device if UNKNOWN."},
      {"recorded, protocol 3", [](SendRequest& r) {
         r.device = "RECORDED";
         r.recorded = {"8", "N", "1", 3};
       }, "You must first manually define a new device if UNKNOWN."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SendRequest request = TvPower();
    request.beepOn = true;
    c.change(request);
    Transmitter port;
    SendState state;
    const SendOutcome outcome = SendIRCommand(state, request, port.Transmit(), port.Beep());
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_FALSE(outcome.transmitted);
    EXPECT_TRUE(port.events.empty());
  }
}

TEST(SendIRCommand, SendsThePackedPulseTextFramedByBeeps) {
  Transmitter port;
  SendState state;
  SendRequest request = TvPower();
  request.beepOn = true;
  const SendOutcome outcome = SendIRCommand(state, request, port.Transmit(), port.Beep());
  EXPECT_EQ(outcome.status, "TV Power executed.");
  ASSERT_EQ(port.calls.size(), 1u);
  const std::string pulses = "111100" "10" "1000" "1000" "10" "1000" "10" "10" "1000" "1";
  EXPECT_EQ(port.calls[0].bytes, PackSlotBytes(pulses));
  EXPECT_EQ(port.calls[0].slotUs, 560);
  EXPECT_EQ(port.calls[0].mode, 1);
  EXPECT_EQ(port.events, (std::vector<std::string>{"5000/50", "send", "2000/50"}));
  ASSERT_TRUE(outcome.display.has_value());
  EXPECT_EQ(outcome.display->gProt, "NEC");
  EXPECT_EQ(outcome.display->rpt, "N");
  EXPECT_EQ(outcome.display->gType, "1");
  EXPECT_EQ(state.params, *request.deviceParams);
}

TEST(SendIRCommand, TakesTheCodeTrimmedInAnyCaseAndNoBeepsWhenOff) {
  Transmitter port;
  SendState state;
  SendRequest request = TvPower();
  request.codeField = "  g101010 ";
  EXPECT_EQ(SendIRCommand(state, request, port.Transmit(), port.Beep()).status,
            "TV Power executed.");
  EXPECT_EQ(port.events, std::vector<std::string>{"send"});
  request.codeField = "G10101";  // a g and five bits is long enough
  EXPECT_TRUE(SendIRCommand(state, request, port.Transmit(), port.Beep()).transmitted);
}

TEST(SendIRCommand, Rc5ToggleFlipsOncePerSend) {
  Transmitter port;
  SendState state;
  SendRequest request = TvPower();
  request.deviceParams = PresetParams(2);
  request.codeField = "G11000000000001";
  for (int send = 0; send < 3; ++send) SendIRCommand(state, request, port.Transmit(), port.Beep());
  ASSERT_EQ(port.calls.size(), 3u);
  // Bit 3 is slots 5 and 6: "01" (toggle 1) on the first send after start.
  EXPECT_EQ(port.calls[0].bytes[0] & 0x0C, 0x04);
  EXPECT_EQ(port.calls[1].bytes[0] & 0x0C, 0x08);
  EXPECT_EQ(port.calls[2].bytes, port.calls[0].bytes);
  EXPECT_TRUE(state.rc5Toggle);
}

TEST(SendIRCommand, RecordedDeviceUsesTheLearningIndicators) {
  struct Case {
    RecordedIndicators indicators;
    int repeat, grepeat;
  };
  const Case cases[] = {
      {{"32", " y ", "1", 0}, 50, 1}, {{"32", "N", "2", 0}, 0, 50}, {{"12", "Y", "2", 1}, 50, 50},
      {{"14", "Y", "0", 2}, 50, 0},   {{"14", "n", "x", 2}, 0, 50},
  };
  for (const Case& c : cases) {
    Transmitter port;
    SendState state;
    SendRequest request = TvPower();
    request.device = "Recorded";
    request.command = "Recorded";
    request.deviceParams.reset();
    request.recorded = c.indicators;
    request.codeField = "G11010011";
    const SendOutcome outcome = SendIRCommand(state, request, port.Transmit(), port.Beep());
    EXPECT_EQ(outcome.status, "Recorded Recorded executed.");
    EXPECT_FALSE(outcome.display.has_value());
    EXPECT_EQ(state.params.repeatSlots, c.repeat);
    EXPECT_EQ(state.params.grepeatSlots, c.grepeat);
    EXPECT_EQ(state.params.gproto, c.indicators.detectedProto);
    EXPECT_EQ(state.params.bit1, RecordedPatternsFor(c.indicators.detectedProto)->bit1);
    bool toggle = false;
    EXPECT_EQ(port.calls.at(0).bytes,
              PackSlotBytes(BuildPulseString("11010011", state.params, toggle)));
  }
}

TEST(SendIRCommand, GatewayUsesTheStoredSlotAndRefusesRecorded) {
  Transmitter port;
  SendState state;
  SendRequest request = TvPower();
  request.gateway = true;
  request.slotField = "";
  EXPECT_EQ(SendIRCommand(state, request, port.Transmit(), port.Beep()).status,
            "TV Power executed.");
  EXPECT_EQ(port.calls.at(0).slotUs, 550);
  request.device = "Recorded";
  request.recorded = {"32", "Y", "1", 0};
  EXPECT_EQ(SendIRCommand(state, request, port.Transmit(), port.Beep()).status,
            "Recorded device unsupported in QVXWEB mode!");
  EXPECT_EQ(port.calls.size(), 1u);
}

TEST(SendIRCommand, RefusesATrainLongerThanTheTransmitterBuffer) {
  Transmitter port;
  SendState state;
  SendRequest request = TvPower();
  DeviceParams rc5 = PresetParams(2);
  rc5.repeatSlots = 2000;  // four repeats of 2000 empty slots: more than 1000 bytes
  request.deviceParams = rc5;
  request.codeField = "G11000000000001";
  EXPECT_EQ(SendIRCommand(state, request, port.Transmit(), port.Beep()).status,
            "Error sending infrared command!");
  EXPECT_TRUE(port.calls.empty());
  EXPECT_FALSE(state.rc5Toggle);
}

TEST(SendIRCommand, HandsIrDimmerCommandsToTheDimmer) {
  Transmitter port;
  SendState state;
  SendRequest request = TvPower();
  request.device = "IR Dimmer";
  request.command = "ON/OFF";
  request.codeField = "";
  request.dimmerEnabled = true;
  std::string seenCode = "none";
  request.dimmer = [&](const DeviceParams& params, int slotUs, const std::string& code) {
    seenCode = code;
    return "dimmer " + std::to_string(params.sendplsUs) + " " + std::to_string(slotUs);
  };
  EXPECT_EQ(SendIRCommand(state, request, port.Transmit(), port.Beep()).status, "dimmer 550 560");
  EXPECT_EQ(seenCode, "");
  request.dimmerEnabled = false;
  EXPECT_EQ(SendIRCommand(state, request, port.Transmit(), port.Beep()).status,
            "No code to be send!");
}

}  // namespace
}  // namespace qvx::ircode
