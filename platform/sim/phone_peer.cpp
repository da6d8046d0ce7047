#include "platform/sim/phone_peer.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace platform::sim {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// The command without blanks, in upper case: "AT+CMER =3,2,0,0" is AT+CMER=3,2,0,0.
std::string Normalised(const std::string& command) {
  std::string squeezed;
  for (char c : command)
    if (c != ' ') squeezed += c;
  return Upper(squeezed);
}

constexpr std::string_view kDisplayPrefix = "AT*EAID=1,2,\"";

}  // namespace

std::vector<TimedReply> PhoneInterface::OnHostByte(uint8_t byte, int64_t) {
  std::lock_guard lock(mutex_);
  if (byte == '\n') return {};
  if (byte != '\r') {
    line_ += static_cast<char>(byte);
    return {};
  }
  std::string command;
  command.swap(line_);
  if (command.empty()) return {};
  commands_.push_back(command);
  return Answer(command);
}

std::vector<TimedReply> PhoneInterface::Answer(const std::string& command) {
  if (answers_ == PhoneAnswers::Silent) return {};
  if (answers_ == PhoneAnswers::Garbage) return {{Bytes("\x7F~#?\xFF+CK\r\n"), kReplyDelayUs}};
  const std::string normalised = Normalised(command);
  std::vector<TimedReply> replies;
  std::string reply = "\r\nOK\r\n";
  if (normalised == "AT+CGMM") reply = "\r\n" + model_ + "\r\n" + reply;
  if (normalised == "ATZ" || normalised == "AT+CMER=0,0,0,0") keyReporting_ = false;
  if (command.starts_with(kDisplayPrefix) && command.ends_with('"'))
    displayed_.push_back(command.substr(kDisplayPrefix.size(),
                                        command.size() - kDisplayPrefix.size() - 1));
  replies.push_back({Bytes(reply), kReplyDelayUs});
  if (normalised == "AT+CMER=3,2,0,0") {
    keyReporting_ = true;
    for (const PhoneScriptLine& line : script_)
      replies.push_back({Bytes(line.line + (line.lineEnd ? "\r\n" : "")),
                         kReplyDelayUs + line.atMs * 1000});
    script_.clear();
  }
  return replies;
}

std::vector<TimedReply> PhoneInterface::TakeUnsolicited(int64_t) {
  std::lock_guard lock(mutex_);
  std::vector<TimedReply> lines;
  lines.swap(unsolicited_);
  return lines;
}

void PhoneInterface::SetModel(const std::string& model) {
  std::lock_guard lock(mutex_);
  model_ = model;
}

void PhoneInterface::SetAnswers(PhoneAnswers answers) {
  std::lock_guard lock(mutex_);
  answers_ = answers;
}

void PhoneInterface::SetScript(std::vector<PhoneScriptLine> script) {
  std::lock_guard lock(mutex_);
  script_ = std::move(script);
}

void PhoneInterface::Send(const std::string& line, int64_t delayMs) {
  std::lock_guard lock(mutex_);
  unsolicited_.push_back({Bytes(line + "\r\n"), delayMs * 1000});
}

std::vector<std::string> PhoneInterface::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

std::vector<std::string> PhoneInterface::Displayed() const {
  std::lock_guard lock(mutex_);
  return displayed_;
}

bool PhoneInterface::KeyReporting() const {
  std::lock_guard lock(mutex_);
  return keyReporting_;
}

PhonePeer::PhonePeer(Clock& clock) : Peer(clock) { SetInRange(true); }

void PhonePeer::SetInRange(bool inRange) {
  inRange_ = inRange;
  SetInputLines(inRange ? kStatusCts | kStatusDsr : 0);
}

void PhonePeer::Send(const std::string& line, int64_t delayMs) {
  phone_.Send(line, delayMs);
  QueueReplies(phone_.TakeUnsolicited(PeerClock().NowNs() / 1000), 0);
}

void PhonePeer::OnByteSent(uint8_t byte, int64_t, int64_t endNs) {
  if (!inRange_) return;
  // The phone hears a byte once its stop bit is over; its answers count from then.
  QueueReplies(phone_.OnHostByte(byte, endNs / 1000), (endNs - PeerClock().NowNs()) / 1000);
}

void PhonePeer::QueueReplies(const std::vector<TimedReply>& replies, int64_t afterUs) {
  for (const TimedReply& reply : replies) QueueInput(reply.bytes, afterUs + reply.delayUs);
}

std::shared_ptr<PhonePeer> InstallPhonePeer(const std::string& name, Clock& clock) {
  auto peer = std::make_shared<PhonePeer>(clock);
  peer->RegisterAs(name);
  return peer;
}

std::vector<PhoneScriptLine> ReadPhoneScript(const std::string& path) {
  std::vector<PhoneScriptLine> script;
  std::ifstream in(path);
  if (!in) return {};
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos || line.front() == '#') continue;
    std::istringstream fields(line);
    PhoneScriptLine entry;
    if (!(fields >> entry.atMs) || entry.atMs < 0) return {};
    fields >> std::ws;
    std::getline(fields, entry.line);
    script.push_back(entry);
  }
  return script;
}

}  // namespace platform::sim
