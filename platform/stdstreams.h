#pragma once

// Standard input and output as a CGI program uses them: the request body comes from standard
// input, the page goes to standard output, which may be a pipe or a file.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Reads up to maxBytes from standard input; empty at the end of input or on an error.
std::string ReadStandardInput(std::size_t maxBytes);

// An output file descriptor, borrowed, never closed here.
class OutputStream {
 public:
  explicit OutputStream(int fd) : fd_(fd) {}
  // Standard output.
  static OutputStream Standard();
  // Writes all of data; false on an error.
  bool Write(std::string_view data);
  // Moves the write position back to the start; false where the output cannot seek (a pipe).
  bool Rewind();
  // Cuts the output off at the write position; false where it is not a file.
  bool TruncateHere();

 private:
  int fd_;
};

}  // namespace platform
