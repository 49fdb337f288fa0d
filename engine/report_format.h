// The report writer: text, integers right-aligned in a field (n:w) and reals in fixed
// point (x:w:d), with CR LF line ends. Reals round half away from zero on the exact
// binary value of the double, so that every report is reproducible to the character.
// The text is kept in memory and, when a file is attached, written through to it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tarmel {

// n:w — the integer right-aligned in w characters, wider when it does not fit.
std::string FormatInt(int64_t n, int width);

// x:w:d — fixed point with d decimals, right-aligned in w characters, wider when needed.
// A value that rounds to zero has no minus sign; a non-finite value is written as 0.
std::string FormatReal(double x, int width, int decimals);

class ReportWriter {
 public:
  ReportWriter() = default;
  ~ReportWriter() { Close(); }
  // A copy writes nowhere: copies of a run state grow trees on other threads and report
  // nothing themselves.
  ReportWriter(const ReportWriter&) : ReportWriter() {}
  ReportWriter& operator=(const ReportWriter&) = delete;

  // Creates or overwrites the file; false when it cannot be created.
  bool Create(const std::string& path);
  void Close();  // flushes and closes the file; the text stays available

  void Text(std::string_view s);
  void Int(int64_t n, int width) { Text(FormatInt(n, width)); }
  void Real(double x, int width, int decimals) { Text(FormatReal(x, width, decimals)); }
  void LineEnd() { Text("\r\n"); }

  // Everything written so far (while no file is attached) or since the last flush.
  const std::string& Written() const { return Buffer_; }
  bool IsOpen() const { return File_ != nullptr; }

 private:
  void Flush();
  std::FILE* File_ = nullptr;
  std::string Buffer_;
};

}  // namespace tarmel
