#pragma once

// The services of the operating system that core operations receive instead of reaching for
// them: time, input, program start, sound files and the media player. A program assembles the
// system's services once (SystemServices) and passes them down; tests pass fakes.

#include "platform/clock.h"
#include "platform/input.h"
#include "platform/media.h"
#include "platform/player.h"
#include "platform/process.h"

namespace platform {

struct Services {
  Clock& clock;             // sleeps and time of the operations (the process's active clock)
  Input& input;             // synthetic pointer and keyboard input
  ProgramStarter& programs; // starting configured programs
  Media& media;             // wave and MP3 files
  Player& player;           // the media player
};

// The system's services: the process's active clock as it is now (the real one, or the virtual
// clock of the simulated devices), X input, posix_spawn, mpv and the desktop's media player,
// which waits on the real clock since it talks to a real program.
Services SystemServices();

}  // namespace platform
