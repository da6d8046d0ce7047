#include "platform/player.h"

#include <dbus/dbus.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>

#include "platform/clock.h"
#include "platform/percent.h"
#include "platform/posix/shared_library.h"

namespace platform {
namespace {

#define QVX_DBUS_FUNCTIONS(X)                  \
  X(dbus_bus_get_private)                      \
  X(dbus_bus_register)                         \
  X(dbus_connection_close)                     \
  X(dbus_connection_get_is_connected)          \
  X(dbus_connection_open_private)              \
  X(dbus_connection_send_with_reply_and_block) \
  X(dbus_connection_set_exit_on_disconnect)    \
  X(dbus_connection_unref)                     \
  X(dbus_error_free)                           \
  X(dbus_error_init)                           \
  X(dbus_message_iter_append_basic)            \
  X(dbus_message_iter_close_container)         \
  X(dbus_message_iter_get_arg_type)            \
  X(dbus_message_iter_get_basic)               \
  X(dbus_message_iter_init)                    \
  X(dbus_message_iter_init_append)             \
  X(dbus_message_iter_next)                    \
  X(dbus_message_iter_open_container)          \
  X(dbus_message_iter_recurse)                 \
  X(dbus_message_new_method_call)              \
  X(dbus_message_unref)                        \
  X(dbus_threads_init_default)

// The libdbus functions the player uses (QVX_LIBDBUS names another file). Only a program that
// talks to a player loads the library.
struct DbusFunctions : FunctionTable {
  QVX_DBUS_FUNCTIONS(QVX_FUNCTION_POINTER)

  DbusFunctions() {
    Open("libdbus-1.so.3", "QVX_LIBDBUS");
    QVX_DBUS_FUNCTIONS(QVX_RESOLVE_FUNCTION)
    // The connection is used by whichever thread runs the monitor's actions.
    if (loaded()) dbus_threads_init_default();
  }
};

// Loaded on the first call, once for all threads.
const DbusFunctions& Dbus() {
  static const DbusFunctions functions;
  return functions;
}

constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kTrackListInterface = "org.mpris.MediaPlayer2.TrackList";
constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";
constexpr const char* kNamePrefix = "org.mpris.MediaPlayer2.";
constexpr int kCallTimeoutMs = 1000;
// A track change is asynchronous in most players; this long is waited for it to show.
constexpr int kTrackChangeTimeoutMs = 1500;
constexpr uint32_t kTrackChangePollMs = 10;
constexpr long long kSeekStepUs = 5'000'000;
// Five presses make the "10%" the volume words announce.
constexpr double kVolumeStep = 0.02;
constexpr int kMprisVersion = 2;

struct MessageUnref {
  void operator()(DBusMessage* message) const { Dbus().dbus_message_unref(message); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

// A private connection is closed before its last reference goes.
struct ConnectionClose {
  void operator()(DBusConnection* connection) const {
    Dbus().dbus_connection_close(connection);
    Dbus().dbus_connection_unref(connection);
  }
};
using Connection = std::unique_ptr<DBusConnection, ConnectionClose>;
using Appender = std::function<void(DBusMessageIter&)>;

struct TrackInfo {
  std::string trackId;
  std::string url;
  std::string title;
  std::string artist;  // the artists, joined with ", "
  long long lengthUs = 0;
};

// A file:// address becomes a plain path; other addresses stay as they are.
std::string PathFromUrl(const std::string& url) {
  constexpr std::string_view kScheme = "file://";
  if (!url.starts_with(kScheme)) return url;
  std::string_view rest = std::string_view(url).substr(kScheme.size());
  rest = rest.substr(std::min(rest.find('/'), rest.size()));  // skip a host name
  std::string path;
  for (size_t i = 0; i < rest.size(); ++i) {
    const auto escaped = rest[i] == '%' ? DecodePercentEscape(rest, i) : std::nullopt;
    if (escaped) {
      path += *escaped;
      i += 2;
    } else {
      path += rest[i];
    }
  }
  return path;
}

// Reads a basic value of the expected type; nothing for any other type.
template <typename T>
std::optional<T> ReadBasic(DBusMessageIter& iter, int type) {
  if (Dbus().dbus_message_iter_get_arg_type(&iter) != type) return std::nullopt;
  T value{};
  Dbus().dbus_message_iter_get_basic(&iter, &value);
  return value;
}

std::optional<std::string> ReadText(DBusMessageIter& iter) {
  int type = Dbus().dbus_message_iter_get_arg_type(&iter);
  if (type != DBUS_TYPE_STRING && type != DBUS_TYPE_OBJECT_PATH) return std::nullopt;
  const char* text = nullptr;
  Dbus().dbus_message_iter_get_basic(&iter, &text);
  return std::string(text ? text : "");
}

// Steps into a variant; the iterator is left unchanged when it holds none.
DBusMessageIter Unwrap(DBusMessageIter& iter) {
  DBusMessageIter inner = iter;
  if (Dbus().dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_VARIANT)
    Dbus().dbus_message_iter_recurse(&iter, &inner);
  return inner;
}

std::optional<long long> ReadInteger(DBusMessageIter& iter) {
  switch (Dbus().dbus_message_iter_get_arg_type(&iter)) {
    case DBUS_TYPE_INT64: return ReadBasic<dbus_int64_t>(iter, DBUS_TYPE_INT64);
    case DBUS_TYPE_UINT64: return ReadBasic<dbus_uint64_t>(iter, DBUS_TYPE_UINT64);
    case DBUS_TYPE_INT32: return ReadBasic<dbus_int32_t>(iter, DBUS_TYPE_INT32);
    case DBUS_TYPE_UINT32: return ReadBasic<dbus_uint32_t>(iter, DBUS_TYPE_UINT32);
    default: return std::nullopt;
  }
}

// Reads an array of texts (as) as one text, the entries joined with ", ".
std::string ReadJoinedTexts(DBusMessageIter& iter) {
  if (Dbus().dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY) return ReadText(iter).value_or("");
  DBusMessageIter items;
  Dbus().dbus_message_iter_recurse(&iter, &items);
  std::string joined;
  while (auto text = ReadText(items)) {
    if (!text->empty()) joined += (joined.empty() ? "" : ", ") + *text;
    Dbus().dbus_message_iter_next(&items);
  }
  return joined;
}

// Reads one metadata map (a{sv}).
TrackInfo ReadTrackInfo(DBusMessageIter& iter) {
  TrackInfo info;
  if (Dbus().dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY) return info;
  DBusMessageIter entries;
  Dbus().dbus_message_iter_recurse(&iter, &entries);
  while (Dbus().dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY) {
    DBusMessageIter entry;
    Dbus().dbus_message_iter_recurse(&entries, &entry);
    std::string key = ReadText(entry).value_or("");
    Dbus().dbus_message_iter_next(&entry);
    DBusMessageIter value = Unwrap(entry);
    if (key == "mpris:trackid") info.trackId = ReadText(value).value_or("");
    else if (key == "xesam:url") info.url = ReadText(value).value_or("");
    else if (key == "xesam:title") info.title = ReadText(value).value_or("");
    else if (key == "xesam:artist") info.artist = ReadJoinedTexts(value);
    else if (key == "mpris:length") info.lengthUs = ReadInteger(value).value_or(0);
    Dbus().dbus_message_iter_next(&entries);
  }
  return info;
}

void AppendText(DBusMessageIter& iter, int type, const std::string& text) {
  const char* value = text.c_str();
  Dbus().dbus_message_iter_append_basic(&iter, type, &value);
}

template <typename T>
void AppendVariant(DBusMessageIter& iter, int type, const char* signature, T value) {
  DBusMessageIter variant;
  Dbus().dbus_message_iter_open_container(&iter, DBUS_TYPE_VARIANT, signature, &variant);
  Dbus().dbus_message_iter_append_basic(&variant, type, &value);
  Dbus().dbus_message_iter_close_container(&iter, &variant);
}

// The media player of the session bus, chosen again on every call so that a player started or
// closed in between, or one the user started playing, is noticed.
class MprisPlayer : public Player {
 public:
  explicit MprisPlayer(Clock& clock) : clock_(clock) {}

  bool Reachable() override { return Connect(); }

  int Version() override { return PlayerName().empty() ? 0 : kMprisVersion; }

  bool PressButton(int commandId) override {
    std::string name = PlayerName();
    if (name.empty()) return false;
    const bool taken = Press(name, commandId);
    if (taken) NoteActive(name);
    return taken;
  }

  PlayState State() override {
    std::string name = PlayerName();
    std::string status = name.empty() ? "" : TextProperty(name, kPlayerInterface, "PlaybackStatus");
    if (status == "Playing") return PlayState::kPlaying;
    if (status == "Paused") return PlayState::kPaused;
    return PlayState::kStopped;
  }

  long long SongPositionMs() override {
    std::string name = PlayerName();
    if (name.empty()) return 0;
    Message reply = GetProperty(name, kPlayerInterface, "Position");
    if (!reply) return 0;
    DBusMessageIter iter;
    Dbus().dbus_message_iter_init(reply.get(), &iter);
    DBusMessageIter value = Unwrap(iter);
    return ReadInteger(value).value_or(0) / 1000;
  }

  long long SongLengthS() override {
    std::string name = PlayerName();
    return name.empty() ? 0 : CurrentTrack(name).lengthUs / 1'000'000;
  }

  bool JumpToTime(long long positionMs) override {
    std::string name = PlayerName();
    if (name.empty()) return false;
    std::string trackId = CurrentTrack(name).trackId;
    if (trackId.empty()) return false;
    return Call(name, kPlayerInterface, "SetPosition", [&](DBusMessageIter& iter) {
             AppendText(iter, DBUS_TYPE_OBJECT_PATH, trackId);
             dbus_int64_t positionUs = positionMs * 1000;
             Dbus().dbus_message_iter_append_basic(&iter, DBUS_TYPE_INT64, &positionUs);
           }) != nullptr;
  }

  bool StartPlay() override {
    std::string name = PlayerName();
    if (name.empty() || !Call(name, kPlayerInterface, "Play")) return false;
    NoteActive(name);
    return true;
  }

  PlayerPlaylist Playlist() override {
    PlayerPlaylist playlist;
    std::string name = PlayerName();
    if (name.empty()) return playlist;
    TrackInfo current = CurrentTrack(name);
    // A player lists its songs where it answers for its track list, empty or not; its
    // HasTrackList says false in some players that have one (VLC 3).
    const std::optional<std::vector<std::string>> ids = TrackIds(name);
    playlist.listed = ids.has_value();
    std::vector<TrackInfo> tracks;
    if (ids) {
      tracks = TracksMetadata(name, *ids);
    } else if (!current.url.empty() || !current.title.empty()) {
      // Without a track list the player still tells its current song.
      tracks.push_back(current);
    }
    for (size_t i = 0; i < tracks.size(); ++i) {
      playlist.songs.push_back({PathFromUrl(tracks[i].url), tracks[i].title, tracks[i].artist});
      if (!current.trackId.empty() && tracks[i].trackId == current.trackId)
        playlist.currentIndex = static_cast<int>(i);
    }
    return playlist;
  }

  void NoteStartedProgram(int processId) override { startedProgram_ = processId; }

 private:
  // Connects to the session bus named by the environment now, reconnecting when the
  // connection broke or the session bus changed. The library's own session connection would
  // keep the first address it saw for the life of the process.
  bool Connect() {
    if (!Dbus().loaded()) return false;  // no D-Bus library: no player can be reached
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    std::string wanted = address ? address : "";
    if (connection_ && Dbus().dbus_connection_get_is_connected(connection_.get()) &&
        wanted == address_)
      return true;
    connection_.reset();
    DBusError error;
    Dbus().dbus_error_init(&error);
    if (wanted.empty()) {
      connection_.reset(Dbus().dbus_bus_get_private(DBUS_BUS_SESSION, &error));
    } else {
      connection_.reset(Dbus().dbus_connection_open_private(wanted.c_str(), &error));
      if (connection_ && !Dbus().dbus_bus_register(connection_.get(), &error)) connection_.reset();
    }
    Dbus().dbus_error_free(&error);
    if (!connection_) return false;
    Dbus().dbus_connection_set_exit_on_disconnect(connection_.get(), FALSE);
    address_ = wanted;
    return true;
  }

  // Calls a method and returns the reply; null when the call failed.
  Message Call(const std::string& destination, const char* interface, const char* method,
               const Appender& append = {}, const char* path = kObjectPath) {
    if (!Connect()) return nullptr;
    Message message(
        Dbus().dbus_message_new_method_call(destination.c_str(), path, interface, method));
    if (!message) return nullptr;
    if (append) {
      DBusMessageIter iter;
      Dbus().dbus_message_iter_init_append(message.get(), &iter);
      append(iter);
    }
    DBusError error;
    Dbus().dbus_error_init(&error);
    Message reply(Dbus().dbus_connection_send_with_reply_and_block(
        connection_.get(), message.get(), kCallTimeoutMs, &error));
    Dbus().dbus_error_free(&error);
    return reply;
  }

  // Calls a method of the bus itself with one text argument.
  Message CallBus(const char* method, const std::string& argument) {
    return Call("org.freedesktop.DBus", "org.freedesktop.DBus", method,
                [&](DBusMessageIter& iter) { AppendText(iter, DBUS_TYPE_STRING, argument); },
                "/org/freedesktop/DBus");
  }

  // Every media player's name on the bus; the shorter names first, where a player registers
  // more than one.
  std::vector<std::string> PlayerNames() {
    std::vector<std::string> found;
    Message reply = Call("org.freedesktop.DBus", "org.freedesktop.DBus", "ListNames", {},
                         "/org/freedesktop/DBus");
    if (!reply) return found;
    DBusMessageIter iter, names;
    if (!Dbus().dbus_message_iter_init(reply.get(), &iter) ||
        Dbus().dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY)
      return found;
    Dbus().dbus_message_iter_recurse(&iter, &names);
    while (auto name = ReadText(names)) {
      if (name->starts_with(kNamePrefix)) found.push_back(*name);
      Dbus().dbus_message_iter_next(&names);
    }
    std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
      return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return found;
  }

  // True when the program that owns the name is the one started as the player, or runs in its
  // session (a start through a shell or a launcher script).
  bool StartedHere(const std::string& name) {
    if (startedProgram_ <= 0) return false;
    Message reply = CallBus("GetConnectionUnixProcessID", name);
    if (!reply) return false;
    DBusMessageIter iter;
    Dbus().dbus_message_iter_init(reply.get(), &iter);
    const auto processId = static_cast<pid_t>(ReadInteger(iter).value_or(0));
    return processId > 0 && (processId == startedProgram_ || getsid(processId) == startedProgram_);
  }

  // The player a command goes to: the one that plays (the one that began last, where several
  // do), or else the one seen playing or driven last, or else the one the program started, or
  // else a paused one, or else any.
  std::string PlayerName() {
    const std::vector<std::string> names = PlayerNames();
    if (names.size() <= 1) return names.empty() ? std::string() : names.front();
    const int64_t nowNs = clock_.NowNs();
    std::string playing, paused, lastActive;
    int64_t playingSinceNs = -1, lastActiveNs = 0;
    for (const std::string& name : names) {
      const std::string status = TextProperty(name, kPlayerInterface, "PlaybackStatus");
      Activity& activity = activity_[name];
      if (status == "Playing") {
        if (!activity.playing) activity.sinceNs = nowNs;
        activity.playing = true;
        activity.lastNs = nowNs;
        if (activity.sinceNs > playingSinceNs) {
          playing = name;
          playingSinceNs = activity.sinceNs;
        }
        continue;
      }
      activity.playing = false;
      if (status == "Paused" && paused.empty()) paused = name;
      if (activity.lastNs > lastActiveNs) {
        lastActive = name;
        lastActiveNs = activity.lastNs;
      }
    }
    if (!playing.empty()) return playing;
    if (!lastActive.empty()) return lastActive;
    for (const std::string& name : names)
      if (StartedHere(name)) return name;
    return paused.empty() ? names.front() : paused;
  }

  // The player the remote just drove counts as the one active last.
  void NoteActive(const std::string& name) {
    Activity& activity = activity_[name];
    activity.sinceNs = activity.lastNs = clock_.NowNs();
  }

  bool Press(const std::string& name, int commandId) {
    namespace button = player_button;
    switch (commandId) {
      case button::kClose: return Call(name, kRootInterface, "Quit") != nullptr;
      case button::kPrevSong: return ChangeTrack(name, false);
      case button::kNextSong: return ChangeTrack(name, true);
      case button::kPlay: return Call(name, kPlayerInterface, "Play") != nullptr;
      case button::kStop: return Call(name, kPlayerInterface, "Stop") != nullptr;
      case button::kPause: return TogglePause(name);
      case button::kFastForward: return Seek(name, kSeekStepUs);
      case button::kRewind: return Seek(name, -kSeekStepUs);
      case button::kVolumeUp: return StepVolume(name, kVolumeStep);
      case button::kVolumeDown: return StepVolume(name, -kVolumeStep);
      case button::kRepeat: return ToggleRepeat(name);
      case button::kShuffle: return ToggleShuffle(name);
      case button::kPlaylistEditor: return Call(name, kRootInterface, "Raise") != nullptr;
      case button::kDoubleSize: return ToggleFullscreen(name);
      // The equaliser, the visualisation and the time display have no desktop interface.
      default: return false;
    }
  }

  Message GetProperty(const std::string& name, const char* interface, const char* property) {
    return Call(name, kPropertiesInterface, "Get", [&](DBusMessageIter& iter) {
      AppendText(iter, DBUS_TYPE_STRING, interface);
      AppendText(iter, DBUS_TYPE_STRING, property);
    });
  }

  std::string TextProperty(const std::string& name, const char* interface, const char* property) {
    Message reply = GetProperty(name, interface, property);
    if (!reply) return {};
    DBusMessageIter iter;
    Dbus().dbus_message_iter_init(reply.get(), &iter);
    DBusMessageIter value = Unwrap(iter);
    return ReadText(value).value_or("");
  }

  template <typename T>
  std::optional<T> BasicProperty(const std::string& name, const char* interface,
                                 const char* property, int type) {
    Message reply = GetProperty(name, interface, property);
    if (!reply) return std::nullopt;
    DBusMessageIter iter;
    Dbus().dbus_message_iter_init(reply.get(), &iter);
    DBusMessageIter value = Unwrap(iter);
    return ReadBasic<T>(value, type);
  }

  template <typename T>
  bool SetProperty(const std::string& name, const char* interface, const char* property, int type,
                   const char* signature, T value) {
    return Call(name, kPropertiesInterface, "Set", [&](DBusMessageIter& iter) {
             AppendText(iter, DBUS_TYPE_STRING, interface);
             AppendText(iter, DBUS_TYPE_STRING, property);
             AppendVariant(iter, type, signature, value);
           }) != nullptr;
  }

  TrackInfo CurrentTrack(const std::string& name) {
    Message reply = GetProperty(name, kPlayerInterface, "Metadata");
    if (!reply) return {};
    DBusMessageIter iter;
    Dbus().dbus_message_iter_init(reply.get(), &iter);
    DBusMessageIter value = Unwrap(iter);
    return ReadTrackInfo(value);
  }

  // The ids of the track list; nothing when the player has no track list.
  std::optional<std::vector<std::string>> TrackIds(const std::string& name) {
    std::vector<std::string> ids;
    Message reply = GetProperty(name, kTrackListInterface, "Tracks");
    if (!reply) return std::nullopt;
    DBusMessageIter iter, items;
    Dbus().dbus_message_iter_init(reply.get(), &iter);
    DBusMessageIter value = Unwrap(iter);
    if (Dbus().dbus_message_iter_get_arg_type(&value) != DBUS_TYPE_ARRAY) return std::nullopt;
    Dbus().dbus_message_iter_recurse(&value, &items);
    while (auto id = ReadText(items)) {
      ids.push_back(*id);
      Dbus().dbus_message_iter_next(&items);
    }
    return ids;
  }

  std::vector<TrackInfo> TracksMetadata(const std::string& name,
                                        const std::vector<std::string>& ids) {
    std::vector<TrackInfo> tracks;
    if (ids.empty()) return tracks;
    Message reply = Call(name, kTrackListInterface, "GetTracksMetadata", [&](DBusMessageIter& iter) {
      DBusMessageIter array;
      Dbus().dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY,
                                              DBUS_TYPE_OBJECT_PATH_AS_STRING, &array);
      for (const std::string& id : ids) AppendText(array, DBUS_TYPE_OBJECT_PATH, id);
      Dbus().dbus_message_iter_close_container(&iter, &array);
    });
    if (!reply) return tracks;
    DBusMessageIter iter, maps;
    Dbus().dbus_message_iter_init(reply.get(), &iter);
    if (Dbus().dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY) return tracks;
    Dbus().dbus_message_iter_recurse(&iter, &maps);
    while (Dbus().dbus_message_iter_get_arg_type(&maps) == DBUS_TYPE_ARRAY) {
      tracks.push_back(ReadTrackInfo(maps));
      Dbus().dbus_message_iter_next(&maps);
    }
    // The order of the reply is not promised; the track list's order is.
    std::vector<TrackInfo> ordered;
    for (const std::string& id : ids) {
      auto it = std::find_if(tracks.begin(), tracks.end(),
                             [&](const TrackInfo& track) { return track.trackId == id; });
      if (it != tracks.end()) ordered.push_back(*it);
    }
    return ordered.size() == tracks.size() ? ordered : tracks;
  }

  // At the first song (going back) or the last (going on), with neither repeat nor shuffle on,
  // the desktop players stop or jump to the other end; the remote's player stays on its song.
  bool AtPlaylistEnd(const std::string& name, const std::string& trackId, bool forward) {
    if (TextProperty(name, kPlayerInterface, "LoopStatus") == "Playlist") return false;
    if (BasicProperty<dbus_bool_t>(name, kPlayerInterface, "Shuffle", DBUS_TYPE_BOOLEAN).value_or(FALSE))
      return false;
    const std::vector<std::string> ids = TrackIds(name).value_or(std::vector<std::string>());
    auto position = std::find(ids.begin(), ids.end(), trackId);
    if (position == ids.end()) return false;
    return forward ? position + 1 == ids.end() : position == ids.begin();
  }

  // Skips a song and waits until the player shows the new one, so that what is read next
  // describes the song now playing.
  bool ChangeTrack(const std::string& name, bool forward) {
    std::string before = CurrentTrack(name).trackId;
    if (!before.empty() && AtPlaylistEnd(name, before, forward)) return true;
    if (!Call(name, kPlayerInterface, forward ? "Next" : "Previous")) return false;
    if (before.empty()) return true;
    const int64_t deadlineNs = clock_.NowNs() + int64_t{kTrackChangeTimeoutMs} * 1'000'000;
    while (clock_.NowNs() < deadlineNs && CurrentTrack(name).trackId == before)
      clock_.SleepMs(kTrackChangePollMs);
    return true;
  }

  // The pause button pauses a playing song and resumes a paused one.
  bool TogglePause(const std::string& name) {
    std::string status = TextProperty(name, kPlayerInterface, "PlaybackStatus");
    if (status == "Playing") return Call(name, kPlayerInterface, "Pause") != nullptr;
    if (status == "Paused") return Call(name, kPlayerInterface, "Play") != nullptr;
    return true;
  }

  bool Seek(const std::string& name, long long offsetUs) {
    return Call(name, kPlayerInterface, "Seek", [&](DBusMessageIter& iter) {
             dbus_int64_t value = offsetUs;
             Dbus().dbus_message_iter_append_basic(&iter, DBUS_TYPE_INT64, &value);
           }) != nullptr;
  }

  bool StepVolume(const std::string& name, double step) {
    auto volume = BasicProperty<double>(name, kPlayerInterface, "Volume", DBUS_TYPE_DOUBLE);
    if (!volume) return false;
    double wanted = std::clamp(*volume + step, 0.0, 1.0);
    return SetProperty(name, kPlayerInterface, "Volume", DBUS_TYPE_DOUBLE,
                       DBUS_TYPE_DOUBLE_AS_STRING, wanted);
  }

  bool ToggleRepeat(const std::string& name) {
    bool looping = TextProperty(name, kPlayerInterface, "LoopStatus") == "Playlist";
    const char* wanted = looping ? "None" : "Playlist";
    return SetProperty(name, kPlayerInterface, "LoopStatus", DBUS_TYPE_STRING,
                       DBUS_TYPE_STRING_AS_STRING, wanted);
  }

  bool ToggleShuffle(const std::string& name) {
    auto shuffle = BasicProperty<dbus_bool_t>(name, kPlayerInterface, "Shuffle", DBUS_TYPE_BOOLEAN);
    if (!shuffle) return false;
    dbus_bool_t wanted = *shuffle ? FALSE : TRUE;
    return SetProperty(name, kPlayerInterface, "Shuffle", DBUS_TYPE_BOOLEAN,
                       DBUS_TYPE_BOOLEAN_AS_STRING, wanted);
  }

  // Double size is, on the desktop, the player's full-screen mode, where it lets that be set.
  bool ToggleFullscreen(const std::string& name) {
    if (!BasicProperty<dbus_bool_t>(name, kRootInterface, "CanSetFullscreen", DBUS_TYPE_BOOLEAN)
             .value_or(FALSE))
      return false;
    auto fullscreen =
        BasicProperty<dbus_bool_t>(name, kRootInterface, "Fullscreen", DBUS_TYPE_BOOLEAN);
    if (!fullscreen) return false;
    dbus_bool_t wanted = *fullscreen ? FALSE : TRUE;
    return SetProperty(name, kRootInterface, "Fullscreen", DBUS_TYPE_BOOLEAN,
                       DBUS_TYPE_BOOLEAN_AS_STRING, wanted);
  }

  Clock& clock_;
  Connection connection_;
  std::string address_;
  // What was seen of each player: whether it played at the last look, since when, and when it
  // was last seen playing or driven by the remote (0: never). Times on clock_.
  struct Activity {
    bool playing = false;
    int64_t sinceNs = 0;
    int64_t lastNs = 0;
  };
  std::map<std::string, Activity> activity_;
  pid_t startedProgram_ = 0;
};

}  // namespace

std::unique_ptr<Player> OpenPlayer(Clock& clock) { return std::make_unique<MprisPlayer>(clock); }

}  // namespace platform
