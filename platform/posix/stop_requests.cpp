// Stop requests as SIGINT and SIGTERM, caught by a handler that only sets a flag.

#include "platform/stop_requests.h"

#include <csignal>

namespace platform {
namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

}  // namespace

struct StopRequests::Previous {
  struct sigaction interrupt {};
  struct sigaction terminate {};
};

StopRequests::StopRequests() : previous_(std::make_unique<Previous>()) {
  stopRequested = 0;
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previous_->interrupt);
  sigaction(SIGTERM, &action, &previous_->terminate);
}

StopRequests::~StopRequests() {
  sigaction(SIGINT, &previous_->interrupt, nullptr);
  sigaction(SIGTERM, &previous_->terminate, nullptr);
}

bool StopRequests::Requested() const { return stopRequested != 0; }

}  // namespace platform
