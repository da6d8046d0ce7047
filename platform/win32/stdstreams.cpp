#include "platform/stdstreams.h"

#include <io.h>
#include <windows.h>

#include <algorithm>

namespace platform {
namespace {

// The Win32 handle behind a C runtime descriptor; INVALID_HANDLE_VALUE when there is none.
HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

}  // namespace

std::string ReadStandardInput(std::size_t maxBytes) {
  std::string data(maxBytes, '\0');
  DWORD got = 0;
  const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(maxBytes, MAXDWORD));
  // A pipe whose writer has gone reports ERROR_BROKEN_PIPE: the end of input.
  if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), data.data(), asked, &got, nullptr)) got = 0;
  data.resize(got);
  return data;
}

OutputStream OutputStream::Standard() { return OutputStream(1); }

bool OutputStream::Write(std::string_view data) {
  const HANDLE handle = HandleOf(fd_);
  if (handle == INVALID_HANDLE_VALUE) return false;
  while (!data.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1 << 20));
    if (!WriteFile(handle, data.data(), chunk, &written, nullptr) || written == 0) return false;
    data.remove_prefix(written);
  }
  return true;
}

bool OutputStream::Rewind() {
  const HANDLE handle = HandleOf(fd_);
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) return false;
  return SetFilePointer(handle, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool OutputStream::TruncateHere() {
  const HANDLE handle = HandleOf(fd_);
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) return false;
  return SetEndOfFile(handle) != 0;
}

}  // namespace platform
