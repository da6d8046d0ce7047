#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qvx/config/devices.h"
#include "qvx/ircode/irtypes.h"
#include "qvx/ircode/sampledecode.h"

namespace qvx::ircode {

// Receiver interface types (the low part of ITYPE).
inline constexpr int kReceiverDcdStd = 0;
inline constexpr int kReceiverIRMouse = 1;
inline constexpr int kReceiverIRMan = 2;
inline constexpr int kReceiverCreative = 3;
inline constexpr int kReceiverFirm = 4;

// Bytes a learning recording asks for: 4800 samples.
inline constexpr int kRecordBytes = 600;

// The system's texts of learning, shown on the status line.
inline constexpr std::string_view kValidSony12 = "A valid SONY type command has been received.";
inline constexpr std::string_view kValidSony15 =
    "A valid 15 bits SONY type command has been received.";
inline constexpr std::string_view kInvalidSony =
    "A possible invalid SONY type command has been received.";
inline constexpr std::string_view kValidRc5 = "A valid RC5 type command has been received.";
inline constexpr std::string_view kShortRc5 =
    "A possible invalid RC5 type command has been received(less than 14 bits)!";
inline constexpr std::string_view kLongRc5 =
    "A possible valid command has been received (more than 14 bits).";
inline constexpr std::string_view kValidNec = "A valid NEC type command has been received.";
inline constexpr std::string_view kInvalidNec =
    "A possible invalid NEC type command has been received.";
inline constexpr std::string_view kTooFewBits = "Invalid command (less than 8 bit)!";
inline constexpr std::string_view kNoSignal = "No signal received for 5 seconds!";
inline constexpr std::string_view kInvalidSignal = "Recorded signal is invalid or unknown!";
inline constexpr std::string_view kUnknownProtocol = "Unknown protocol!";
inline constexpr std::string_view kNoCommand = "Command cannot be extracted!";
inline constexpr std::string_view kMonitoringOn =
    "You cannot record a command when monitoring function is activated!";
inline constexpr std::string_view kCreativeRecord = "Creative Infra record is not yet implemented!";
inline constexpr std::string_view kNoRecordInterface = "No Rec interface selected!";
inline constexpr std::string_view kSignalTooShort = "Recorded signal to short!";
inline constexpr std::string_view kTooLittleRecorded =
    "Not enough information recorded to decode the signal!";
inline constexpr std::string_view kNoIrManGraph =
    "No graph available for IRMan type IR input interface.";

// A stored command, named by its device and command.
using qvx::StoredCommand;

// Finds the stored command whose code is these bits (without "G"; for RC5 the toggle bit is
// already 0); nullopt when no command holds them.
using CodeLookup = std::function<std::optional<StoredCommand>(const std::string& bits)>;

// The learning state that lives for the program's run.
struct LearnContext {
  int codingType = 0;             // coding type of the last analysis; gap-coded at start
  bool validated = false;         // the shown code may be saved (saving clears it)
  int pressCounter = 0;           // recordings so far in the current validation attempt
  std::string firstCode;          // code of the first recording of the attempt
  // CodeStr's background as the window shows it now: the one record of it, which the window
  // sets whenever it changes the colour itself (a save, a chosen command).
  Colour codeStrBack = Colour::Default;
  std::string learnedCode;  // CodeStr as the last decoded recording set it ("G" and the bits)
  std::string earlierCode;  // the code the literal analysis read from it, where that differs
};

// What learning needs from the rest of the program.
struct LearnEnv {
  CodeLookup findCode;  // the configuration's code search
  Beeper beep;          // called only when beepOn
  bool beepOn = false;  // BEEPON
  // Decodes a sample text; empty means DecodeSampleText (the benchmark measures others here).
  std::function<SampleDecode(std::string_view sampleText)> decode;
};

// How the signal plot is drawn after a recording.
struct PlotView {
  std::string samples;  // the sample text drawn, one step per sample
  Colour trace = Colour::Red;
  int scrollPosition = 15;
  int scrollMin = 0;    // HScroll1 range and value
  int scrollMax = 15;
  int scrollValue = 15;
};

// Everything one press of the Record button changes in the main window.
struct LearnResult {
  bool fieldsCleared = false;  // false when the recording was refused before anything changed
  // Fields cleared at the start of every recording, as this recording left them.
  std::string codeStr, bitNr, addrVal, cmdVal, toggleVal, rpt, irCommand, plen1, plen0;
  bool toggleVisible = false;
  Colour bitNrColour = Colour::Default;
  // Fields set only on some paths; nullopt leaves the window's value as it is.
  std::optional<std::string> gProt;
  std::optional<Colour> gProtColour;
  std::optional<std::string> frame1;   // caption "NEC params", ...
  std::optional<std::string> sendPulse;
  std::optional<std::string> gType;
  Colour codeStrBack = Colour::Default;  // CodeStr's background after the recording (the
                                         // context's, as the recording left it)
  std::vector<std::string> messages;     // status texts in the order shown; the last one stays
  std::optional<StoredCommand> stored;   // the stored command that has the learned code
  bool selectStored = false;             // select the found device and command in the lists
  bool validated = false;                // the shown code may be saved
  std::optional<PlotView> plot;          // nullopt: the plot stays cleared
  std::optional<int> codingType;         // set once the analysis found a coding type
  std::optional<int> unitSamples;        // set once the analysis found a unit
  bool decoded = false;                  // a code was decoded (IRMan included)
  bool mended = false;                   // the canonical code differs from the literal one
  // "G" and the code the literal analysis alone read (RC5 toggle bit 0), where it read one of
  // more than 6 bits: configurations written by earlier versions may hold it.
  std::string literalCode;

  // The message left on the status line (empty when there is none).
  std::string Status() const { return messages.empty() ? std::string() : messages.back(); }
};

// The ways a recording can be taken; the port-backed versions call the timing library.
struct RecordSource {
  // Records len 600 bytes (IRRecord, or IRRecordN when DCD on is the active state); nullopt
  // when no signal began within 5 s.
  std::function<std::optional<std::vector<uint8_t>>(bool dcdOnIsActive)> record;
  // Reads the IRMan receiver's 6 code bytes; nullopt when none came within 50 passes of 100 ms.
  std::function<std::optional<std::array<uint8_t, 6>>()> irman;
  // The port is a kernel infrared device: it records whatever the receiver type says.
  bool kernelDevice = false;
  // Why the last recording came back empty when the port can tell (a kernel device that
  // cannot receive, has gone or lost durations); nullopt when no signal came.
  std::function<std::optional<std::string>()> fault;
};

// The code an earlier version read from the recording whose code CodeStr shows, which that
// version may have stored for the key; empty when CodeStr shows another code or both agree.
std::string EarlierCodeOf(const LearnContext& context, std::string_view codeField);

// The Record button: refuses while monitoring, records by receiver type (a kernel infrared
// device whatever the type) and learns the code.
LearnResult RecordCommand(LearnContext& context, int receiverType, bool monitoringOn,
                          const RecordSource& source, const LearnEnv& env);

// Learns from a record buffer (nullopt when no signal came): trim, analyse, decode, validate.
LearnResult LearnFromRecording(LearnContext& context,
                               const std::optional<std::vector<uint8_t>>& buffer,
                               const LearnEnv& env);

// Learns from the 6 bytes of an IRMan receiver (nullopt when none came).
LearnResult LearnFromIRMan(LearnContext& context,
                           const std::optional<std::array<uint8_t, 6>>& code,
                           const LearnEnv& env);

}  // namespace qvx::ircode
