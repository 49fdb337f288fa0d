// Reading a table for an import a piece at a time. The records are counted while the bytes
// arrive, a line at a time, so the reading knows to the byte where the last record an import
// could use ends, and stops one record later: a table of millions of rows costs the time
// and memory of its first two thousand.
#include <cerrno>
#include <optional>
#include <system_error>

#include "delimited_text.h"
#include "run_context.h"
#include "table_import.h"
#include "text_files.h"

namespace tarmel {

namespace {

constexpr size_t PieceSize = 64 * 1024;
// The delimiter is chosen from the start of the table, as the whole-text import does.
constexpr size_t StartSize = 64 * 1024 + 4;
// A header row and one row more than the learning rows and the rows to predict together:
// however the rows are told apart, one block is then over its limit.
constexpr size_t KeptRecords = 2 * static_cast<size_t>(MaxObjects) + 2;

class TTableReader {
 public:
  TTableReader(TByteSource& source, const TReadProgress& progress)
      : Source_(source), Progress_(progress) {}

  TTableText Read() {
    while (!Done_ && Pull()) {
      if (!Counter_ && (Bytes().size() >= StartSize || Ended_)) StartCounting();
      if (Counter_) CountFrom(Counted_);
      if (Ended_ && !Done_) Finish();
    }
    return std::move(Text_);
  }

 private:
  std::string& Bytes() { return Text_.Bytes; }

  // One more piece, or the end; false when reading must stop.
  bool Pull() {
    if (Ended_) return true;
    char buffer[PieceSize];
    std::string reason;
    const int64_t got = Source_.Read(buffer, sizeof buffer, reason);
    if (got >= 0) Bytes().append(buffer, static_cast<size_t>(got));
    Ended_ = got == 0;
    const bool cancelled =
        got >= 0 && Progress_ && !Progress_(static_cast<int64_t>(Bytes().size()));
    if (got >= 0 && !cancelled) return true;
    Text_ = TTableText{};
    Text_.Cancelled = cancelled;
    if (!cancelled) Text_.ReadError = reason.empty() ? "it could not be read" : reason;
    Done_ = true;
    return false;
  }

  // UTF-16 is refused by its first bytes; otherwise the delimiter is taken from the start,
  // leaving out a character the piece may have cut.
  void StartCounting() {
    TDecodedTable decoded;
    std::string message;
    std::string_view start(Bytes());
    while (!Ended_ && !start.empty() && static_cast<unsigned char>(start.back()) >= 0x80) {
      start.remove_suffix(1);
    }
    if (!DecodeTableText(start, decoded, message)) {
      Done_ = true;
      return;
    }
    Counter_.emplace(DetectDelimiter(decoded.Utf8));
  }

  // Counts the records from the given byte on, one line at a time.
  void CountFrom(size_t from) {
    while (!Done_ && from < Bytes().size()) {
      const size_t lineEnd = Bytes().find_first_of("\r\n", from);
      const size_t end = lineEnd == std::string::npos ? Bytes().size() : lineEnd + 1;
      // A misplaced quote: the import finds it again in the bytes read so far.
      if (!Counter_->Feed(std::string_view(Bytes()).substr(from, end - from))) Done_ = true;
      from = end;
      Check(end);
    }
    Counted_ = from;
  }

  void Finish() {
    if (Counter_ && Counter_->Finish()) Check(Bytes().size());
    Done_ = true;
  }

  void Check(size_t end) {
    if (Counter_->WidestRecord() > MaxTableCells) {
      Text_.Refusal = "Row " + std::to_string(Counter_->Records() + 1) + " has more than " +
                      std::to_string(MaxTableCells) + " cells; a data file holds at most " +
                      std::to_string(MaxFileFeatures) + " columns.";
      Done_ = true;
    } else if (Counter_->Records() == KeptRecords && KeptEnd_ == 0) {
      KeptEnd_ = end;
    } else if (Counter_->Records() > KeptRecords) {
      Bytes().resize(KeptEnd_);
      Text_.Truncated = true;
      Done_ = true;
    }
  }

  TByteSource& Source_;
  const TReadProgress& Progress_;
  TTableText Text_;
  std::optional<TRecordCounter> Counter_;
  size_t Counted_ = 0;  // bytes handed to the counter
  size_t KeptEnd_ = 0;  // the end of the last record an import can use, once known
  bool Ended_ = false;
  bool Done_ = false;
};

// Bytes already in memory, handed out as a file would.
class TTextSource : public TByteSource {
 public:
  explicit TTextSource(std::string_view bytes) : Bytes_(bytes) {}
  int64_t Read(char* buffer, size_t size, std::string&) override {
    const size_t n = Bytes_.copy(buffer, size);
    Bytes_.remove_prefix(n);
    return static_cast<int64_t>(n);
  }

 private:
  std::string_view Bytes_;
};


class TFileSource : public TByteSource {
 public:
  explicit TFileSource(TReadableFile file) : File_(std::move(file)) {}
  int64_t Read(char* buffer, size_t size, std::string& reason) override {
    const size_t got = std::fread(buffer, 1, size, File_.get());
    Total_ += static_cast<int64_t>(got);
    // The cap holds also for a file that grows while it is read.
    if (Total_ > MaxFileBytes) reason = "it is larger than 256 MiB";
    if (got == 0 && std::ferror(File_.get()) != 0) {
      reason = std::generic_category().message(errno);
    }
    return reason.empty() ? static_cast<int64_t>(got) : -1;
  }

 private:
  TReadableFile File_;
  int64_t Total_ = 0;
};

}  // namespace

TTableText ReadTableText(TByteSource& source, const TReadProgress& progress) {
  return TTableReader(source, progress).Read();
}

std::unique_ptr<TByteSource> OpenTableFile(const std::string& path, std::string& reason) {
  TReadableFile file = OpenReadableFile(path, reason);
  if (!file) return nullptr;
  return std::make_unique<TFileSource>(std::move(file));
}

TTableText ReadTableFile(const std::string& path, const TReadProgress& progress) {
  TTableText text;
  const std::unique_ptr<TByteSource> source = OpenTableFile(path, text.ReadError);
  return source ? ReadTableText(*source, progress) : text;
}

TImportResult ImportTable(std::string_view bytes, const TImportOptions& options) {
  TTextSource source(bytes);
  return ImportTable(ReadTableText(source), options);
}

TImportResult ImportTableFile(const std::string& path, const TImportOptions& options) {
  const TTableText table = ReadTableFile(path);
  if (!table.ReadError.empty()) {
    TImportResult result;
    result.Message = "Cannot read the table " + path + ": " + table.ReadError;
    return result;
  }
  return ImportTable(table, options);
}

}  // namespace tarmel
