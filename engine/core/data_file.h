// The data file as a stream of bytes. The byte 26 marks the end of the data: it is what
// reading past the physical end yields, and once it has been read every later read
// yields it again. A UTF-8 byte-order mark at the very start is not part of the data.
#pragma once

#include <cstdint>
#include <string>

namespace tarmel {

constexpr int EndOfData = 26;

// Far above the largest table the limits allow (about 2 MB), far below what would exhaust
// the memory: a bigger file is a mistake, not data.
constexpr int64_t MaxFileBytes = int64_t{256} << 20;

// The whole content of an ordinary file of at most MaxFileBytes; false, with the reason a
// person can read, when it cannot be opened or read, is not an ordinary file (a folder, a
// device) or is larger.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& reason);

class DataFile {
 public:
  bool Open(const std::string& path, std::string& reason);  // false when it cannot be read
  void OpenText(std::string bytes);    // reads from memory
  void Close() { *this = DataFile(); }
  int Get();                           // next byte, or EndOfData
  int32_t Line() const { return Line_; }  // line of the byte read last, from 1

 private:
  std::string Bytes_;
  size_t Pos_ = 0;
  bool Ended_ = true;
  int32_t Line_ = 1;
  bool AfterLineFeed_ = false;  // the byte read last was a line feed
};

}  // namespace tarmel
