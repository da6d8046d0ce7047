#include <system_error>

#include "platform/files.h"
#include "qvx/config/file.h"
#include "qvx/config/general.h"
#include "qvx/config/store.h"

namespace qvx {
namespace {

// Reads the file again under the writers' lock. True when another program saved the file since
// this store last read or wrote it: the store has taken that file over. False when the file is
// as this store left it, or holds nothing to take over (it was deleted or emptied): the text in
// memory is then the one to keep and is written back. Nothing when the lock cannot be taken or
// the file cannot be read.
std::optional<bool> LockAndCompare(ConfigStore& store, platform::FileLock& lock) {
  store.lastError.clear();
  if (const platform::Status locked = platform::FileLock::Acquire(store.path, lock); !locked) {
    store.lastError = locked.osText();
    return std::nullopt;
  }
  std::error_code ec;
  std::optional<std::string> current;
  if (std::filesystem::exists(store.path, ec) || ec)
    current = ReadConfigFile(store.path, store.lastError);
  else
    current.emplace();
  if (!current) return std::nullopt;
  if (*current == store.fileText || current->empty()) return false;
  RefreshGeneral(store.general, store.text, *current);
  store.text = *current;
  store.fileText = std::move(*current);
  return true;
}

bool Write(ConfigStore& store, std::string text) {
  if (!SaveConfigFile(text, store.path, store.lastError)) return false;
  store.fileText = text;
  store.text = std::move(text);
  return true;
}

}  // namespace

CommitResult CommitConfigText(ConfigStore& store, std::string newText) {
  platform::FileLock lock;
  const auto changed = LockAndCompare(store, lock);
  if (!changed) return CommitResult::Failed;
  if (*changed) {
    store.lastError = kFileChangedMeanwhile;
    return CommitResult::FileChanged;
  }
  return Write(store, std::move(newText)) ? CommitResult::Saved : CommitResult::Failed;
}

bool EditConfigText(ConfigStore& store,
                    const std::function<std::optional<std::string>(std::string_view)>& edit) {
  platform::FileLock lock;
  if (!LockAndCompare(store, lock)) return false;
  auto edited = edit(store.text);
  return edited && Write(store, std::move(*edited));
}

}  // namespace qvx
