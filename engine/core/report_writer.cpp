// The report writer. An ordinary report file is replaced in one step at the end of the
// run (a rename within its folder), so the file is never half written and a run given up
// leaves it untouched; the new file takes the old one's permissions. Devices and pipes
// cannot be replaced that way and are written directly.
#include "report_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace tarmel {

namespace {

constexpr size_t FlushThreshold = 1 << 16;

std::string Reason(int error) { return std::generic_category().message(error); }

// A name beside the report that no other run of this or another process takes.
std::string TempNameBeside(const std::filesystem::path& report) {
  static std::atomic<unsigned> counter{0};
  const std::string name = "." + report.filename().string() + ".tarmel-" +
                           std::to_string(::getpid()) + "-" + std::to_string(counter++);
  return (report.parent_path() / name).string();
}

int CreateExclusive(const std::filesystem::path& report, std::string& temp) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = TempNameBeside(report);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The file the rename replaces: a link is followed, so it keeps pointing at the report.
std::filesystem::path FileToReplace(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
  return ec ? std::filesystem::path(path) : resolved;
}

}  // namespace

bool ReportWriter::Create(const std::string& path, std::string& reason) {
  Discard();
  Buffer_.clear();
  Error_ = 0;
  if (path.empty()) {
    reason = Reason(ENOENT);
    return false;
  }
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    reason = Reason(EISDIR);
    return false;
  }
  if (exists && !S_ISREG(st.st_mode)) {
    File_ = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  } else if (exists && ::access(path.c_str(), W_OK) != 0) {
    File_ = -1;  // a report the user may not change is not replaced either
  } else {
    const std::filesystem::path target = exists ? FileToReplace(path) : std::filesystem::path(path);
    File_ = CreateExclusive(target, TempPath_);
    if (File_ >= 0 && exists) ::fchmod(File_, st.st_mode & 07777);
    if (File_ >= 0) Path_ = target.string();
  }
  if (File_ < 0) {
    reason = Reason(errno);
    TempPath_.clear();
    return false;
  }
  if (Path_.empty()) Path_ = path;
  return true;
}

bool ReportWriter::Commit(std::string& reason) {
  Flush();
  if (File_ >= 0 && ::close(File_) != 0 && Error_ == 0) Error_ = errno;
  File_ = -1;
  if (Error_ == 0 && !TempPath_.empty() && ::rename(TempPath_.c_str(), Path_.c_str()) != 0) {
    Error_ = errno;
  }
  if (Error_ != 0) {
    reason = Reason(Error_);
    Discard();
    return false;
  }
  TempPath_.clear();
  Path_.clear();
  return true;
}

void ReportWriter::Discard() {
  if (File_ >= 0) ::close(File_);
  File_ = -1;
  if (!TempPath_.empty()) ::unlink(TempPath_.c_str());
  TempPath_.clear();
  Path_.clear();
}

void ReportWriter::Text(std::string_view s) {
  Buffer_.append(s);
  if (File_ >= 0 && Buffer_.size() >= FlushThreshold) Flush();
}

// After a failed write nothing more is written: the report is lost anyway, and Commit
// tells why.
void ReportWriter::Flush() {
  if (File_ < 0) return;
  size_t done = 0;
  while (Error_ == 0 && done < Buffer_.size()) {
    const ssize_t n = ::write(File_, Buffer_.data() + done, Buffer_.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      Error_ = n == 0 ? EIO : errno;
    }
  }
  Buffer_.clear();
}

}  // namespace tarmel
