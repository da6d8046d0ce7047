#pragma once

// The texts of the main window: the splash window, the status line, its message boxes and
// tool tips. Captions of controls and menus stand in the placement and menu tables.

#include <string_view>

namespace qvx::ui {

inline constexpr std::string_view kSplashLoading = "Loading configuration file...";
inline constexpr std::string_view kSplashInterface = "Select IR Interface...";
inline constexpr std::string_view kSplashInfraredIn = "Initialize Infrared IN...";
inline constexpr std::string_view kSplashInfraredOut = "Initialize Infrared OUT...";
inline constexpr std::string_view kSplashX10 = "Initialize X10...";

inline constexpr std::string_view kStarted = "Application started successfully.";
inline constexpr std::string_view kConfigurationError =
    "There is an error in the configuration file.\r\nThe application will be closed.\r\n";
inline constexpr std::string_view kSupportLine =
    "Please contact support: see the manual qvx.html next to the program.";
inline constexpr std::string_view kAboutTitle = "Zarvel Rezoru Zazudaz v";
inline constexpr std::string_view kAuthors = "Written by the Zarvel Rezoru Zazudaz developers.";
inline constexpr std::string_view kNoCommandSelected = "There is no command selected!";
inline constexpr std::string_view kNotValidatedToSend = " The received command is not yet validated!";
inline constexpr std::string_view kNothingToSend = "Nothing to be send!";
inline constexpr std::string_view kX10Saved = "X10 configuration saved OK.";
inline constexpr std::string_view kX10Cancelled = "X10 configuration cancelled.";

inline constexpr std::string_view kTipNoDevice = "No device available";
inline constexpr std::string_view kTipRecorded =
    "Virtual device used to create IR devices or to learn IR commands";
inline constexpr std::string_view kTipOutputDevice = "Output device selected";
inline constexpr std::string_view kTipX10Commands = "X10 command to be send";
inline constexpr std::string_view kTipIrCommands = "The IR command to be send";
inline constexpr std::string_view kTipBinaryCode = "Binary code , '1' means 38KHz carrier.";
inline constexpr std::string_view kTipCommandLine = "Command line.";
inline constexpr std::string_view kTipPulseLength = "The pulse length in us";
inline constexpr std::string_view kTipTxd =
    "If selected, TxD is used as output, with software carrier. If not, DTR with hardware "
    "generated 38KHz carrier.";
inline constexpr std::string_view kTipZone = "FirM Interface zone selection";
inline constexpr std::string_view kTipZoneNr = "The FirM Zone Number of the received command";

}  // namespace qvx::ui
