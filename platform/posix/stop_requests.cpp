// Stop requests as SIGINT and SIGTERM, reload requests as SIGHUP, caught by handlers that only
// set a flag.

#include "platform/stop_requests.h"

#include <atomic>
#include <csignal>

namespace platform {
namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

// Lock-free, so that the handler may set it and Take may swap it without a lost request.
std::atomic<bool> reloadRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void RequestReload(int) { reloadRequested.store(true); }

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

struct ReloadRequests::Previous {
  struct sigaction hangup {};
};

ReloadRequests::ReloadRequests() : previous_(std::make_unique<Previous>()) {
  reloadRequested = false;
  struct sigaction action {};
  action.sa_handler = RequestReload;
  sigemptyset(&action.sa_mask);
  sigaction(SIGHUP, &action, &previous_->hangup);
}

ReloadRequests::~ReloadRequests() { sigaction(SIGHUP, &previous_->hangup, nullptr); }

bool ReloadRequests::Take() { return reloadRequested.exchange(false); }

}  // namespace platform
