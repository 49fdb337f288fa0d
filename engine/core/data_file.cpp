// The data file in memory. The whole file is read at once, without exceptions, so a file
// that cannot be read (missing, a folder, a device, unreadable, too large) is simply one
// that cannot be opened; the reader then takes it byte by byte, with the end-of-data byte
// 26 standing for the end and for everything after it.
#include "data_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace tarmel {

namespace {

const std::string ByteOrderMark = "\xEF\xBB\xBF";

// Why a file is not read: not an ordinary file, or larger than the cap. Looked at before
// the file is opened, since opening a pipe would wait for a writer.
bool Readable(const std::string& path, std::string& reason) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    reason = std::generic_category().message(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    reason = "it is a folder";
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    reason = "it is not an ordinary file";
    return false;
  }
  if (st.st_size > MaxFileBytes) {
    reason = "it is larger than 256 MiB";
    return false;
  }
  return true;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  const bool aExists = ::stat(a.c_str(), &sa) == 0;
  const bool bExists = ::stat(b.c_str(), &sb) == 0;
  if (aExists && bExists) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (aExists != bExists) return false;
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path first = fs::weakly_canonical(fs::absolute(a, error), error);
  if (error) return false;
  const fs::path second = fs::weakly_canonical(fs::absolute(b, error), error);
  return !error && first == second;
}

TReadableFile OpenReadableFile(const std::string& path, std::string& reason) {
  TReadableFile f(nullptr, std::fclose);
  if (path.empty()) {
    reason = "no file name was given";
    return f;
  }
  if (!Readable(path, reason)) return f;
  f.reset(std::fopen(path.c_str(), "rb"));
  if (!f) reason = std::generic_category().message(errno);
  return f;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& reason) {
  bytes.clear();
  const TReadableFile f = OpenReadableFile(path, reason);
  if (!f) return false;
  char buffer[1 << 16];
  size_t got = 0;
  // The cap holds also for a file that grows while it is read.
  while ((got = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) {
    bytes.append(buffer, got);
    if (static_cast<int64_t>(bytes.size()) > MaxFileBytes) {
      reason = "it is larger than 256 MiB";
      return false;
    }
  }
  if (std::ferror(f.get()) != 0) {
    reason = std::generic_category().message(errno);
    return false;
  }
  return true;
}

bool DataFile::Open(const std::string& path, std::string& reason) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes, reason)) {
    Close();
    return false;
  }
  OpenText(std::move(bytes));
  return true;
}

void DataFile::OpenText(std::string bytes) {
  Close();
  Bytes_ = std::move(bytes);
  Pos_ = Bytes_.compare(0, ByteOrderMark.size(), ByteOrderMark) == 0 ? ByteOrderMark.size() : 0;
  Ended_ = false;
}

int DataFile::Get() {
  if (Ended_ || Pos_ >= Bytes_.size()) {
    Ended_ = true;
    return EndOfData;
  }
  const int c = static_cast<unsigned char>(Bytes_[Pos_++]);
  if (c == EndOfData) Ended_ = true;
  // A line feed belongs to the line it ends.
  if (AfterLineFeed_) ++Line_;
  AfterLineFeed_ = c == '\n';
  return c;
}

}  // namespace tarmel
