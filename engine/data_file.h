// The data file as a stream of bytes. The byte 26 marks the end of the data: it is what
// reading past the physical end yields, and once it has been read every later read
// yields it again.
#pragma once

#include <string>

namespace tarmel {

constexpr int EndOfData = 26;

// The whole content of a file; false when it cannot be opened or read (a folder, say).
bool ReadWholeFile(const std::string& path, std::string& bytes);

class DataFile {
 public:
  bool Open(const std::string& path);  // false when the file cannot be read
  void OpenText(std::string bytes);    // reads from memory
  void Close() { Bytes_.clear(); Pos_ = 0; Ended_ = true; }
  int Get();                           // next byte, or EndOfData

 private:
  std::string Bytes_;
  size_t Pos_ = 0;
  bool Ended_ = true;
};

}  // namespace tarmel
