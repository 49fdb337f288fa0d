// Reading a whole text file the way a run reads its data file: ordinary files only, and
// none larger than a data file could sensibly be.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace tarmel {

// Far above the largest table the limits allow (about 2 MB), far below what would exhaust
// the memory: a bigger file is a mistake, not data.
constexpr int64_t MaxFileBytes = int64_t{256} << 20;

// The whole content of an ordinary file of at most MaxFileBytes; false, with the reason a
// person can read, when it cannot be opened or read, is not an ordinary file (a folder, a
// device) or is larger.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& reason);

// The same file opened for reading piece by piece, after the same checks; null, with the
// reason, when it cannot be.
using TReadableFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
TReadableFile OpenReadableFile(const std::string& path, std::string& reason);

// Writes the whole file safely: beside it under a temporary name, synced, then renamed over
// it, so the old file stays whole on any failure; a link is followed, a link that leads
// nowhere or in a circle refused. False, with the reason a person can read, on failure.
bool WriteFileSafely(const std::string& path, std::string_view bytes, std::string& reason);

// The same file, also through another path or a link (the same device and inode); names
// of which one does not exist are the same file when they resolve to the same path.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace tarmel
