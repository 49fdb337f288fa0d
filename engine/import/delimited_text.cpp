// Decoding and splitting a delimited table. libcsv does the quoting rules; this file owns
// the parser (one RAII holder), the choice of the delimiter, and the text's encoding.
#include "delimited_text.h"

#include <csv.h>

#include <algorithm>
#include <array>

namespace tarmel {

namespace {

// Length of the UTF-8 sequence starting at s[i], 0 when it is not a valid one.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned lowest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, lowest = 0x10000;
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  unsigned code = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code < lowest || surrogate || code > 0x10FFFF ? 0 : length;
}

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t length = Utf8SequenceLength(s, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string Latin1ToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 8);
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

int IsBlank(unsigned char c) { return c == ' ' ? 1 : 0; }
int IsBlankOrTab(unsigned char c) { return c == ' ' || c == '\t' ? 1 : 0; }

// Collects cells and records; the parser calls back with C linkage-compatible functions.
struct TCollector {
  TRecords* Records = nullptr;
  std::vector<std::string> Cells;
  size_t Limit = 0;  // stop collecting after this many records; 0: no limit
};

void EndCell(void* text, size_t length, void* data) {
  auto* c = static_cast<TCollector*>(data);
  c->Cells.emplace_back(static_cast<const char*>(text), length);
}

void EndRecord(int, void* data) {
  auto* c = static_cast<TCollector*>(data);
  if (c->Limit == 0 || c->Records->size() < c->Limit) c->Records->push_back(std::move(c->Cells));
  c->Cells.clear();
}

// Counts cells and records only.
struct TTally {
  size_t Records = 0;
  size_t Cells = 0;  // of the record being read
  size_t Widest = 0;
};

void CountCell(void*, size_t, void* data) {
  auto* t = static_cast<TTally*>(data);
  t->Widest = std::max(t->Widest, ++t->Cells);
}

void CountRecord(int, void* data) {
  auto* t = static_cast<TTally*>(data);
  ++t->Records;
  t->Cells = 0;
}

// The libcsv parser, freed on every path.
class TCsvParser {
 public:
  TCsvParser(char delimiter, unsigned char options) {
    Ready_ = csv_init(&Parser_, options) == 0;
    if (!Ready_) return;
    csv_set_delim(&Parser_, static_cast<unsigned char>(delimiter));
    // A tab is a blank around cells only when it does not separate them.
    csv_set_space_func(&Parser_, delimiter == '\t' ? IsBlank : IsBlankOrTab);
  }
  ~TCsvParser() {
    if (Ready_) csv_free(&Parser_);
  }
  TCsvParser(const TCsvParser&) = delete;
  TCsvParser& operator=(const TCsvParser&) = delete;

  // False when the parser stopped on malformed text (strict mode) or ran out of memory.
  bool Parse(std::string_view text, TCollector& collector) {
    return Feed(text, EndCell, EndRecord, &collector) &&
           Finish(EndCell, EndRecord, &collector);
  }

  using TCellEnd = void (*)(void*, size_t, void*);
  using TRecordEnd = void (*)(int, void*);
  bool Feed(std::string_view text, TCellEnd cell, TRecordEnd record, void* data) {
    return Ready_ && csv_parse(&Parser_, text.data(), text.size(), cell, record, data) ==
                         text.size();
  }
  bool Finish(TCellEnd cell, TRecordEnd record, void* data) {
    return Ready_ && csv_fini(&Parser_, cell, record, data) == 0 &&
           csv_error(&Parser_) == CSV_SUCCESS;
  }

 private:
  csv_parser Parser_{};
  bool Ready_ = false;
};

void TrimBlanks(std::string& cell) {
  const size_t first = cell.find_first_not_of(" \t");
  if (first == std::string::npos) {
    cell.clear();
    return;
  }
  cell.erase(cell.find_last_not_of(" \t") + 1);
  cell.erase(0, first);
}

// Cells per record of the first records; the sample may cut the last one short.
std::vector<size_t> CellCounts(std::string_view sample, char delimiter, bool cutShort) {
  TRecords records;
  TCollector collector{&records, {}, 50};
  TCsvParser parser(delimiter, 0);
  parser.Parse(sample, collector);
  if (cutShort && records.size() > 1) records.pop_back();
  std::vector<size_t> counts;
  for (const auto& r : records) counts.push_back(r.size());
  return counts;
}

}  // namespace

bool DecodeTableText(std::string_view bytes, TDecodedTable& decoded, std::string& message) {
  decoded = TDecodedTable{};
  const bool utf16 = bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                           (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
  if (utf16) {
    message = "The table is UTF-16 text; save it as UTF-8 (or Latin-1) and import it again.";
    return false;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    decoded.HadByteOrderMark = true;
    bytes.remove_prefix(3);
  }
  decoded.WasLatin1 = !IsValidUtf8(bytes);
  decoded.Utf8 = decoded.WasLatin1 ? Latin1ToUtf8(bytes) : std::string(bytes);
  return true;
}

char DetectDelimiter(std::string_view text) {
  constexpr size_t SampleSize = 64 * 1024;
  const std::string_view sample = text.substr(0, SampleSize);
  const bool cutShort = text.size() > SampleSize;
  constexpr std::array<char, 3> Candidates = {'\t', ';', ','};
  char widest = ',';
  size_t widestCount = 1;
  for (const char d : Candidates) {
    const std::vector<size_t> counts = CellCounts(sample, d, cutShort);
    if (counts.empty()) continue;
    bool same = counts[0] > 1;
    for (const size_t n : counts) same = same && n == counts[0];
    if (same) return d;
    if (counts[0] > widestCount) widest = d, widestCount = counts[0];
  }
  return widest;
}

bool SplitRecords(std::string_view text, char delimiter, TRecords& records, std::string& message) {
  records.clear();
  TCollector collector{&records, {}, 0};
  TCsvParser parser(delimiter, CSV_STRICT | CSV_STRICT_FINI);
  if (!parser.Parse(text, collector)) {
    message = "Row " + std::to_string(records.size() + 1) +
              " cannot be read: a quote is misplaced or never closed (a cell holding "
              "quotes, delimiters or line breaks must be enclosed in double quotes, with "
              "its own quotes doubled).";
    return false;
  }
  for (auto& record : records) {
    for (auto& cell : record) TrimBlanks(cell);
  }
  return true;
}

struct TRecordCounter::TState {
  explicit TState(char delimiter) : Parser(delimiter, CSV_STRICT | CSV_STRICT_FINI) {}
  TCsvParser Parser;
  TTally Tally;
};

TRecordCounter::TRecordCounter(char delimiter) : State_(std::make_unique<TState>(delimiter)) {}

TRecordCounter::~TRecordCounter() = default;

bool TRecordCounter::Feed(std::string_view piece) {
  return State_->Parser.Feed(piece, CountCell, CountRecord, &State_->Tally);
}

bool TRecordCounter::Finish() {
  return State_->Parser.Finish(CountCell, CountRecord, &State_->Tally);
}

size_t TRecordCounter::Records() const { return State_->Tally.Records; }

size_t TRecordCounter::WidestRecord() const { return State_->Tally.Widest; }

}  // namespace tarmel
