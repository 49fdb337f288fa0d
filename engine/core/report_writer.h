// The report writer: text, integers (n:w) and reals (x:w:d) with CR LF line ends. The
// text is kept in memory and, when a file is attached, written through to it. A report
// file that is an ordinary file is written beside it under a temporary name and put in
// its place only when the run ends, so a run given up leaves the old report as it was;
// every write, the close and the replacing are checked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "report_format.h"
#include "safe_file.h"

namespace tarmel {

class ReportWriter {
 public:
  ReportWriter() = default;
  ~ReportWriter() { Discard(); }
  // A copy writes nowhere: copies of a run state grow trees on other threads and report
  // nothing themselves.
  ReportWriter(const ReportWriter&) : ReportWriter() {}
  ReportWriter& operator=(const ReportWriter&) = delete;

  // Starts the report at path (created when missing); anything but an ordinary file, a
  // device say, is written directly. False, with the reason, when it cannot be created.
  bool Create(const std::string& path, std::string& reason);
  // Writes what is left, closes the file and puts it in place of the old report; false,
  // with the reason, when a write, the close or the replacing failed.
  bool Commit(std::string& reason);
  // Closes the file and removes the temporary one: the old report stays as it was.
  void Discard();

  void Text(std::string_view s);
  void Int(int64_t n, int width) { Text(FormatInt(n, width)); }
  void Real(double x, int width, int decimals) { Text(FormatReal(x, width, decimals)); }
  void LineEnd() { Text("\r\n"); }

  // Everything written so far (while no file is attached) or since the last flush.
  const std::string& Written() const { return Buffer_; }
  bool IsOpen() const { return File_.IsOpen(); }

 private:
  void Flush();
  TSafeFile File_;        // the report being written, when a file is attached
  std::string Buffer_;
};

}  // namespace tarmel
