// The data file in memory. The whole file is read at once, without exceptions, so a file
// that cannot be read (missing, a folder, unreadable) is simply one that cannot be opened;
// the reader then takes it byte by byte, with the end-of-data byte 26 standing for the end
// and for everything after it.
#include "data_file.h"

#include <cstdio>
#include <memory>

namespace tarmel {

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  if (path.empty()) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) return false;
  char buffer[1 << 16];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) bytes.append(buffer, got);
  return std::ferror(f.get()) == 0;
}

bool DataFile::Open(const std::string& path) {
  Close();
  if (!ReadWholeFile(path, Bytes_)) return false;
  Ended_ = false;
  return true;
}

void DataFile::OpenText(std::string bytes) {
  Bytes_ = std::move(bytes);
  Pos_ = 0;
  Ended_ = false;
}

int DataFile::Get() {
  if (Ended_ || Pos_ >= Bytes_.size()) {
    Ended_ = true;
    return EndOfData;
  }
  const int c = static_cast<unsigned char>(Bytes_[Pos_++]);
  if (c == EndOfData) Ended_ = true;
  return c;
}

}  // namespace tarmel
