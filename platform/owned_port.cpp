#include "platform/serial.h"

namespace platform {

OwnedPort& OwnedPort::operator=(OwnedPort&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.Release();
  }
  return *this;
}

Status OwnedPort::Close() {
  if (!open()) return {};
  return ClosePort(std::exchange(handle_, kPortClosed));
}

PortHandle OwnedPort::Release() { return std::exchange(handle_, kPortClosed); }

}  // namespace platform
