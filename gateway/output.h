#pragma once

// The page as it is written: lines are collected and written at the end, so an error page never
// follows half a page down a pipe; where the output is a file it is rewound and cut as well.

#include <string>
#include <string_view>

#include "platform/stdstreams.h"

namespace qvx::gateway {

class CgiOutput {
 public:
  explicit CgiOutput(platform::OutputStream stream) : stream_(stream) {}
  // Adds text and CR LF to the page.
  void SendLine(std::string_view text);
  // Forgets the page so far and moves a file output back to its start.
  void Restart();
  // Writes the page; returns false when the output refused it.
  bool Flush();
  // Writes the page and cuts a file output off after it.
  void FlushAndCut();

 private:
  platform::OutputStream stream_;
  std::string page_;
};

}  // namespace qvx::gateway
