#include "data_file.h"

#include <fstream>
#include <iterator>

namespace tarmel {

bool DataFile::Open(const std::string& path) {
  Close();
  if (path.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  Bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
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
