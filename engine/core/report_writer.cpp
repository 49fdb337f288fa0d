// The report writer. The report file is written safely (beside it, then put in its place
// when the run ends), so a run given up leaves the old report untouched.
#include "report_writer.h"

namespace tarmel {

namespace {

constexpr size_t FlushThreshold = 1 << 16;

}  // namespace

bool ReportWriter::Create(const std::string& path, std::string& reason) {
  Discard();
  Buffer_.clear();
  return File_.Open(path, reason);
}

bool ReportWriter::Commit(std::string& reason) {
  Flush();
  return File_.Commit(reason);
}

void ReportWriter::Discard() { File_.Discard(); }

void ReportWriter::Text(std::string_view s) {
  Buffer_.append(s);
  if (File_.IsOpen() && Buffer_.size() >= FlushThreshold) Flush();
}

void ReportWriter::Flush() {
  if (!File_.IsOpen()) return;
  File_.Write(Buffer_);
  Buffer_.clear();
}

}  // namespace tarmel
