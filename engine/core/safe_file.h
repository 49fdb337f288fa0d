// A file written beside its target under a temporary name, flushed to the disk and put in
// the target's place in one step, so that the old file stays whole until the new one is
// complete: a full disk, a signal or a power cut leaves either the old file or the new
// one, never a fragment. A link as target is followed (the link keeps pointing at the new
// file); a link that points nowhere, or at itself, is refused. Devices and pipes cannot be
// replaced and are written directly.
#pragma once

#include <string>
#include <string_view>

namespace tarmel {

class TSafeFile {
 public:
  TSafeFile() = default;
  ~TSafeFile() { Discard(); }
  TSafeFile(const TSafeFile&) = delete;
  TSafeFile& operator=(const TSafeFile&) = delete;

  // Starts the new file; false, with the reason a person can read, when it cannot.
  bool Open(const std::string& path, std::string& reason);
  // After a failed write nothing more is written; Commit tells why.
  void Write(std::string_view bytes);
  // Flushes, closes and puts the file in place; false, with the reason, when any step
  // failed (the old file is then as it was and no temporary file is left).
  bool Commit(std::string& reason);
  // Closes and removes the temporary file: the old file stays as it was.
  void Discard();
  bool IsOpen() const { return File_ >= 0; }

 private:
  int File_ = -1;
  std::string Target_;    // the file replaced on Commit
  std::string TempPath_;  // empty when writing directly
  int Error_ = 0;         // errno of the first failure
};

}  // namespace tarmel
