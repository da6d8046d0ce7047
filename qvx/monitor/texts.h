#pragma once

// The texts monitoring and the event editor show the user, in one place.

#include <string_view>

namespace qvx::monitor::texts {

// Monitoring: starting, stopping and the tick.
inline constexpr std::string_view kNoInputToMonitor = "There is no input plugin available to monitor!";
inline constexpr std::string_view kRecInterfaceInvalid = "Rec Interface invalid. Cannot start monitoring";
inline constexpr std::string_view kIrManNotSupported = "IR Man interface is not yet supported for monitoring!";
inline constexpr std::string_view kCreativeNotSupported =
    "Creative Infra interface is not yet supported for monitoring!";
inline constexpr std::string_view kFirmNotSupported = "FirM interface is not yet supported for monitoring!";
inline constexpr std::string_view kNoRecordInterface = "No Record interface selected!";
inline constexpr std::string_view kMonitoringStarted = "Monitoring started OK.";
inline constexpr std::string_view kMonitoringStopped = "Monitoring is stopped.";
inline constexpr std::string_view kCommandReceived = "Command received";
inline constexpr std::string_view kUnknownEvent = "UNKNOWN";
inline constexpr std::string_view kNothingExecuted = "none";
inline constexpr std::string_view kMonitorCaption = "Zarvel Monitor v";
// Said once when monitoring starts without the priority its sampling windows need.
inline constexpr std::string_view kNoRealtimePriority =
    "Timing runs without real-time priority, so key presses may be lost while the machine is "
    "busy. Grant it with LimitRTPRIO=99 in the service's unit, an rtprio limit in "
    "/etc/security/limits.conf, or the CAP_SYS_NICE capability (setcap cap_sys_nice+ep).";
// The start of the status line when the receiver's lines can no longer be read; the system's
// words follow.
inline constexpr std::string_view kPortLost = "The infrared port stopped answering: ";
inline constexpr std::string_view kLabelIn = "IN";
inline constexpr std::string_view kLabelOut = "OUT";
inline constexpr std::string_view kLabelDevice = "Dev.";
inline constexpr std::string_view kLabelCommand = "Cmd.";

// Window and tray icons in the program directory.
inline constexpr std::string_view kIconNotMonitoring = "qvxnomon.ico";
inline constexpr std::string_view kIconMonitoring = "qvxmon.ico";
inline constexpr std::string_view kIconPhoneMonitoring = "qvxbtmon.ico";

// The event editor.
inline constexpr std::string_view kNoInputDevice = "No input device available to monitor!";
inline constexpr std::string_view kEventExists =
    "This event exists in the configuration file.\r\nPlease select another event.";
inline constexpr std::string_view kEventExistsTitle = "Zarvarel Input Event";
inline constexpr std::string_view kAddQuestionStart = "Do you want to add the event ";
inline constexpr std::string_view kAddQuestionEnd = " to the list of the monitored events?";
inline constexpr std::string_view kAddTitle = "Infrared events";
inline constexpr std::string_view kDeleteQuestionStart = "You are sure that you want to delete the Event: ";
inline constexpr std::string_view kDeleteQuestionEnd = " ?";
inline constexpr std::string_view kDeleteTitle = "Delete Event";
inline constexpr std::string_view kCleanReportStart = "The followig orphaned events were deleted:\r\n\r\n";
inline constexpr std::string_view kCleanReportTitle = "Zarvel Manager";
inline constexpr std::string_view kNothingToClean = "Found no orphaned events to delete.";

}  // namespace qvx::monitor::texts
