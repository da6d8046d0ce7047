#include "gateway/output.h"

namespace qvx::gateway {

void CgiOutput::SendLine(std::string_view text) {
  page_.append(text);
  page_.append("\r\n");
}

void CgiOutput::Restart() {
  page_.clear();
  stream_.Rewind();
}

bool CgiOutput::Flush() {
  const bool written = stream_.Write(page_);
  page_.clear();
  return written;
}

void CgiOutput::FlushAndCut() {
  Flush();
  stream_.TruncateHere();
}

}  // namespace qvx::gateway
