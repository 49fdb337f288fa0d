// Writing a file safely: temporary file beside the target, sync, rename, sync the folder.
#include "safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "text_files.h"

namespace tarmel {

namespace {

namespace fs = std::filesystem;

std::string Reason(int error) { return std::generic_category().message(error); }

// A name beside the target that no other writer of this or another process takes.
std::string TempNameBeside(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  const std::string name = "." + target.filename().string() + ".tarmel-" +
                           std::to_string(::getpid()) + "-" + std::to_string(counter++);
  return (target.parent_path() / name).string();
}

int CreateExclusive(const fs::path& target, std::string& temp) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = TempNameBeside(target);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The file a link leads to; empty, with the reason, when it leads nowhere or in a circle.
std::string FollowLink(const std::string& path, std::string& reason) {
  std::error_code ec;
  const fs::path resolved = fs::canonical(path, ec);
  if (!ec) return resolved.string();
  reason = ec.value() == ELOOP ? "the link leads in a circle" : "the link points at nothing";
  return {};
}

// The folder's entry of a renamed file reaches the disk only when the folder is synced.
void SyncFolderOf(const std::string& target) {
  const fs::path folder = fs::path(target).parent_path();
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool TSafeFile::Open(const std::string& path, std::string& reason) {
  Discard();
  Error_ = 0;
  if (path.empty()) {
    reason = Reason(ENOENT);
    return false;
  }
  struct stat link {};
  std::string target = path;
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    target = FollowLink(path, reason);
    if (target.empty()) return false;
  }
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    reason = Reason(EISDIR);
    return false;
  }
  if (exists && !S_ISREG(st.st_mode)) {
    File_ = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  } else if (exists && ::access(target.c_str(), W_OK) != 0) {
    errno = EACCES;  // a file the user may not change is not replaced either
  } else {
    File_ = CreateExclusive(target, TempPath_);
    if (File_ >= 0 && exists) ::fchmod(File_, st.st_mode & 07777);
  }
  if (File_ < 0) {
    reason = Reason(errno);
    TempPath_.clear();
    return false;
  }
  Target_ = target;
  return true;
}

void TSafeFile::Write(std::string_view bytes) {
  size_t done = 0;
  while (File_ >= 0 && Error_ == 0 && done < bytes.size()) {
    const ssize_t n = ::write(File_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      Error_ = n == 0 ? EIO : errno;
    }
  }
}

bool TSafeFile::Commit(std::string& reason) {
  if (File_ >= 0 && !TempPath_.empty() && Error_ == 0 && ::fsync(File_) != 0) Error_ = errno;
  if (File_ >= 0 && ::close(File_) != 0 && Error_ == 0) Error_ = errno;
  File_ = -1;
  if (Error_ == 0 && !TempPath_.empty() && ::rename(TempPath_.c_str(), Target_.c_str()) != 0) {
    Error_ = errno;
  }
  if (Error_ != 0) {
    reason = Reason(Error_);
    Discard();
    return false;
  }
  if (!TempPath_.empty()) SyncFolderOf(Target_);
  TempPath_.clear();
  Target_.clear();
  return true;
}

void TSafeFile::Discard() {
  if (File_ >= 0) ::close(File_);
  File_ = -1;
  if (!TempPath_.empty()) ::unlink(TempPath_.c_str());
  TempPath_.clear();
  Target_.clear();
  Error_ = 0;
}

bool WriteFileSafely(const std::string& path, std::string_view bytes, std::string& reason) {
  TSafeFile file;
  if (!file.Open(path, reason)) return false;
  file.Write(bytes);
  return file.Commit(reason);
}

}  // namespace tarmel
