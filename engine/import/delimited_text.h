// Reading a delimited table (CSV, TSV) as cells: the bytes decoded to UTF-8 (with or without
// a byte-order mark, or Latin-1 when they are not valid UTF-8), the delimiter found among
// comma, semicolon and tab, and the records split by libcsv, an RFC 4180 parser: a quoted
// cell may hold delimiters, line breaks and doubled quotes. Blank lines hold no record.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarmel {

struct TDecodedTable {
  std::string Utf8;               // the text, without a byte-order mark
  bool HadByteOrderMark = false;
  bool WasLatin1 = false;         // the bytes were not valid UTF-8
};

// False (with a message) for text that is neither UTF-8 nor Latin-1, such as UTF-16.
bool DecodeTableText(std::string_view bytes, TDecodedTable& decoded, std::string& message);

// Tab, then semicolon, then comma: the first that splits every one of the first records
// into the same number (above one) of cells; otherwise the one splitting the first record
// into most cells; a comma when none occurs.
char DetectDelimiter(std::string_view text);

using TRecords = std::vector<std::vector<std::string>>;

// Every record's cells, blanks around each cell removed. False with a message naming the
// record (counted from 1) when a quote is misplaced or never closed.
bool SplitRecords(std::string_view text, char delimiter, TRecords& records,
                  std::string& message);

// Counts the records of a table handed over a piece at a time, without keeping their cells,
// so a reader knows after each piece how many records have ended and how wide the one being
// read has grown.
class TRecordCounter {
 public:
  explicit TRecordCounter(char delimiter);
  ~TRecordCounter();
  TRecordCounter(const TRecordCounter&) = delete;
  TRecordCounter& operator=(const TRecordCounter&) = delete;

  // False once a quote is misplaced, or (Finish) never closed.
  bool Feed(std::string_view piece);
  bool Finish();  // the end of the text
  size_t Records() const;
  size_t WidestRecord() const;  // the most cells a record has had so far, the open one too

 private:
  struct TState;
  std::unique_ptr<TState> State_;
};

}  // namespace tarmel
