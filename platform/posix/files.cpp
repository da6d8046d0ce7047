#include "platform/files.h"

#include "platform/stdstreams.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {
namespace {

// Writing through a symbolic link replaces the file it points to, not the link; the lock and
// the temporary files belong to that file too.
std::filesystem::path WriteTarget(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(path, ec)) return path;
  std::filesystem::path target = std::filesystem::canonical(path, ec);
  return ec ? path : target;
}

std::filesystem::path DirectoryOf(const std::filesystem::path& target) {
  return target.has_parent_path() ? target.parent_path() : ".";
}

}  // namespace

namespace {

// Writes data over the file itself, for a file whose directory this process may not write: the
// inode, and with it owner, group and mode, stays. Room for a longer text is reserved first, so
// a full disk fails before a byte of the old text is touched.
Status WriteInPlace(const std::filesystem::path& target, std::string_view data, off_t oldSize) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    return Status::FromErrno(error, "cannot write " + target.string());
  }
  const auto fail = [&](const char* what) {
    const int error = errno;
    ::close(fd);
    return Status::FromErrno(error, std::string(what) + " " + target.string());
  };
  const auto size = static_cast<off_t>(data.size());
  if (size > oldSize) {
    if (const int reserved = ::posix_fallocate(fd, 0, size); reserved != 0) {
      // The old text is whole; only its length may have grown, which is undone.
      const bool restored = ::ftruncate(fd, oldSize) == 0;
      ::close(fd);
      return Status::FromErrno(reserved, (restored ? "no room to write " : "no room to write, and "
                                                    "could not restore the length of ") +
                                             target.string());
    }
  }
  for (off_t at = 0; at < size;) {
    const ssize_t written = ::pwrite(fd, data.data() + at, static_cast<std::size_t>(size - at), at);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return fail("cannot write");
    at += written;
  }
  if (::ftruncate(fd, size) != 0) return fail("cannot cut");
  if (::fsync(fd) != 0) return fail("cannot flush");
  if (::close(fd) != 0) {
    const int error = errno;
    return Status::FromErrno(error, "cannot close " + target.string());
  }
  return {};
}

// Whether an error means this process may not make or replace files in the directory.
bool DirectoryRefused(int error) { return error == EACCES || error == EPERM; }

}  // namespace

Status AtomicWriteFile(const std::filesystem::path& path, std::string_view data) {
  const std::filesystem::path target = WriteTarget(path);
  const std::filesystem::path dir = DirectoryOf(target);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  std::string pattern = (dir / (TemporaryPrefix(target) + "XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    const int error = errno;
    if (exists && DirectoryRefused(error)) return WriteInPlace(target, data, old.st_size);
    return Status::FromErrno(error, "cannot create a file in " + dir.string());
  }
  const auto discard = [&] {
    ::close(fd);
    ::unlink(name.data());
  };
  const auto fail = [&](const char* what) {
    const int error = errno;
    const Status failed = Status::FromErrno(error, std::string(what) + " " + name.data());
    discard();
    return failed;
  };

  // The new file takes the old one's owner and group (a program run by root saving a user's
  // file leaves it the user's); where that is not permitted, the old file is written in place.
  if (exists) {
    struct stat made {};
    if (::fstat(fd, &made) != 0) return fail("cannot look at");
    if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0) {
      discard();
      return WriteInPlace(target, data, old.st_size);
    }
  }
  const mode_t mode = exists ? (old.st_mode & 07777) : 0644;
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
    ::unlink(name.data());
    // A sticky directory lets only the file's owner replace it; writing it is still allowed.
    if (exists && DirectoryRefused(error)) return WriteInPlace(target, data, old.st_size);
    return Status::FromErrno(error, "cannot replace " + target.string());
  }
  // Make the rename itself durable; failing here does not undo the completed replacement.
  if (const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY); dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return {};
}

Status FileLock::Acquire(const std::filesystem::path& path, FileLock& lock) {
  const std::filesystem::path target = WriteTarget(path);
  while (true) {
    // flock on the file itself; a file that does not exist yet is guarded by its directory.
    bool onDirectory = false;
    int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
      onDirectory = true;
      fd = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0) {
      const int error = errno;
      return Status::FromErrno(error, "cannot open " + target.string() + " to lock it");
    }
    int locked = ::flock(fd, LOCK_EX);
    while (locked != 0 && errno == EINTR) locked = ::flock(fd, LOCK_EX);
    if (locked != 0) {
      const int error = errno;
      ::close(fd);
      return Status::FromErrno(error, "cannot lock " + target.string());
    }

    // A writer that replaced the file while this one waited left it holding the lock of an
    // inode nobody uses any more (or of the directory of a file that now exists): start over.
    struct stat held {}, now {};
    const bool exists = ::stat(target.c_str(), &now) == 0;
    const int error = errno;
    if (!exists && error != ENOENT) {
      ::close(fd);
      return Status::FromErrno(error, "cannot look at " + target.string());
    }
    const bool current =
        onDirectory ? !exists
                    : exists && ::fstat(fd, &held) == 0 && held.st_dev == now.st_dev &&
                          held.st_ino == now.st_ino;
    if (current) {
      lock = FileLock(fd);
      RemoveLeftoverTemporaries(target);
      return {};
    }
    ::close(fd);
  }
}

void FileLock::Release() {
  if (!held()) return;
  ::close(static_cast<int>(handle_));
  handle_ = kNone;
}

MachineLock MachineLock::TryAcquire(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return MachineLock();
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return MachineLock();
  }
  return MachineLock(fd);
}

void MachineLock::Release() {
  if (handle_ == kNone) return;
  ::close(static_cast<int>(handle_));  // closing the descriptor drops its lock
  handle_ = kNone;
}

}  // namespace platform
