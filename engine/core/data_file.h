// The data file as a stream of bytes. The byte 26 marks the end of the data: it is what
// reading past the physical end yields, and once it has been read every later read
// yields it again. A UTF-8 byte-order mark at the very start is not part of the data.
#pragma once

#include <cstdint>
#include <string>

#include "text_files.h"

namespace tarmel {

constexpr int EndOfData = 26;

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
