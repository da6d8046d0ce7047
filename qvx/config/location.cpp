#include "qvx/config/location.h"

#include <cstdlib>
#include <system_error>

#include "platform/files.h"
#include "platform/paths.h"
#include "qvx/config/file.h"
#include "qvx/config/portmap.h"

namespace qvx {
namespace {

// Makes the folders up to dir that are missing, each open to its owner only, as the base
// directory specification asks of the settings directory.
bool MakePrivateDirectories(const std::filesystem::path& dir, std::string& error) {
  std::error_code ec;
  if (std::filesystem::is_directory(dir, ec)) return true;
  if (dir.has_parent_path() && dir.parent_path() != dir &&
      !MakePrivateDirectories(dir.parent_path(), error)) {
    return false;
  }
  const bool made = std::filesystem::create_directory(dir, ec);
  if (ec) {
    error = "cannot create " + dir.string() + ": " + ec.message();
    return false;
  }
  if (made) std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
  return true;
}

enum class Copy { Existed, Made, Failed };

// Copies a shipped file to the user's file unless that exists; under the writers' lock, so that
// two programs starting together copy it once and never over the user's edits.
Copy CopyOnce(const std::filesystem::path& shipped, const std::filesystem::path& user,
              std::string& error) {
  if (!MakePrivateDirectories(user.parent_path(), error)) return Copy::Failed;
  platform::FileLock lock;
  if (const platform::Status locked = platform::FileLock::Acquire(user, lock); !locked) {
    error = locked.osText();
    return Copy::Failed;
  }
  std::error_code ec;
  if (std::filesystem::exists(user, ec)) return Copy::Existed;
  const std::optional<std::string> text = ReadConfigFile(shipped, error);
  if (!text) return Copy::Failed;
  if (const platform::Status written = platform::AtomicWriteFile(user, *text); !written) {
    error = written.osText();
    return Copy::Failed;
  }
  return Copy::Made;
}

// Gives the user the shipped configuration, and with a new one the shipped port map, whose
// comments show how to map the ports.
void ProvideUserFiles(const std::filesystem::path& shared, const std::filesystem::path& userDir,
                      std::vector<std::string>& warnings) {
  const auto copy = [&](const char* name) {
    std::string error;
    const Copy done = CopyOnce(shared / name, userDir / name, error);
    if (done == Copy::Failed) {
      warnings.push_back("cannot make " + (userDir / name).string() + " from " +
                         (shared / name).string() + ": " + error);
    }
    return done;
  };
  std::error_code ec;
  if (copy(kConfigFileName) == Copy::Made &&
      std::filesystem::exists(shared / kPortMapFileName, ec)) {
    copy(kPortMapFileName);
  }
}

}  // namespace

std::filesystem::path InstalledDataDirectory(const std::filesystem::path& programDir) {
  std::error_code ec;
  if (programDir.empty() || std::filesystem::exists(programDir / kConfigFileName, ec)) return {};
  const std::filesystem::path shared = (programDir / QVX_DATA_FROM_PROGRAM).lexically_normal();
  return std::filesystem::is_regular_file(shared / kConfigFileName, ec) ? shared
                                                                        : std::filesystem::path();
}

ProgramFiles SetUpProgramFiles(const std::optional<std::filesystem::path>& explicitPath,
                               const std::filesystem::path& programDir) {
  ProgramFiles files;
  const std::filesystem::path shared = InstalledDataDirectory(programDir);
  files.resources = shared.empty() ? programDir : shared;
  const char* env = std::getenv(kConfigEnvVar);
  if (explicitPath && !explicitPath->empty()) {
    files.config = *explicitPath;
  } else if (env != nullptr && *env != '\0') {
    files.config = env;
  } else if (shared.empty()) {
    files.config = programDir / kConfigFileName;
  } else if (const std::filesystem::path settings = platform::UserConfigDirectory();
             settings.empty()) {
    files.config = programDir / kConfigFileName;
    files.warnings.push_back(
        "there is no home directory for a configuration of your own (set HOME or "
        "XDG_CONFIG_HOME, or name a file with --config or QVX_CONFIG)");
  } else {
    files.config = settings / kUserConfigFolder / kConfigFileName;
    ProvideUserFiles(shared, files.config.parent_path(), files.warnings);
  }
  for (std::string& warning : UsePortMapBeside(files.config)) {
    files.warnings.push_back(std::move(warning));
  }
  return files;
}

ProgramFiles SetUpProgramFiles(const std::optional<std::filesystem::path>& explicitPath) {
  return SetUpProgramFiles(explicitPath, platform::ProgramDirectory());
}

}  // namespace qvx
