#include "platform/files.h"

#include "platform/stdstreams.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {

Status AtomicWriteFile(const std::filesystem::path& path, std::string_view data) {
  // Writing through a symbolic link replaces the file it points to, not the link.
  std::error_code ec;
  std::filesystem::path target = path;
  if (std::filesystem::is_symlink(path, ec)) target = std::filesystem::canonical(path, ec);
  if (ec) target = path;

  const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
  std::string pattern = (dir / (target.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    const int error = errno;
    return Status::FromErrno(error, "cannot create a file in " + dir.string());
  }
  const auto fail = [&](const char* what) {
    const int error = errno;
    const Status failed = Status::FromErrno(error, std::string(what) + " " + name.data());
    ::close(fd);
    ::unlink(name.data());
    return failed;
  };

  struct stat old {};
  const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  if (::fchmod(fd, mode) != 0) return fail("cannot set the permissions of");
  if (!OutputStream(fd).Write(data)) return fail("cannot write");
  if (::fsync(fd) != 0) return fail("cannot flush");
  if (::close(fd) != 0) {
    const int error = errno;
    const Status failed = Status::FromErrno(error, std::string("cannot close ") + name.data());
    ::unlink(name.data());
    return failed;
  }
  if (::rename(name.data(), target.c_str()) != 0) {
    const int error = errno;
    const Status failed = Status::FromErrno(error, "cannot replace " + target.string());
    ::unlink(name.data());
    return failed;
  }
  // Make the rename itself durable; failing here does not undo the completed replacement.
  if (const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY); dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return {};
}

FileLock FileLock::TryAcquire(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return FileLock();
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return FileLock();
  }
  return FileLock(fd);
}

FileLock::~FileLock() { Release(); }

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = other.handle_;
    other.handle_ = kNone;
  }
  return *this;
}

void FileLock::Release() {
  if (handle_ == kNone) return;
  ::close(static_cast<int>(handle_));  // closing the descriptor drops its lock
  handle_ = kNone;
}

}  // namespace platform
