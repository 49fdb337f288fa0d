// Reading a table a piece at a time: a table far over the row limit, a runaway line or a
// broken quote stops the reading early with the import's message, the bytes pulled staying
// bounded; what is read does not depend on how the bytes are cut into pieces.
#include <gtest/gtest.h>

#include <functional>

#include "table_import.h"

namespace tarmel {
namespace {

// Makes a table's text line by line as it is pulled, never holding it whole, and counts
// the bytes handed out.
class GeneratedTable : public TByteSource {
 public:
  GeneratedTable(std::string header, int64_t lines, std::function<std::string(int64_t)> line,
                 size_t piece = 1 << 20)
      : Pending_(std::move(header)), Lines_(lines), Line_(std::move(line)), Piece_(piece) {}

  int64_t Read(char* buffer, size_t size, std::string&) override {
    const size_t want = std::min(size, Piece_);
    while (Pending_.size() < want && Next_ < Lines_) Pending_ += Line_(Next_++);
    const size_t n = Pending_.copy(buffer, want);
    Pending_.erase(0, n);
    Pulled += static_cast<int64_t>(n);
    return static_cast<int64_t>(n);
  }

  int64_t Pulled = 0;

 private:
  std::string Pending_;
  int64_t Lines_;
  int64_t Next_ = 0;
  std::function<std::string(int64_t)> Line_;
  size_t Piece_;
};

std::string Row(int64_t i, const char* target) {
  return std::to_string(i % 100) + "," + target + "\n";
}

TEST(TableText, ReadingStopsEarlyWhereAnImportMustRefuse) {
  constexpr int64_t Millions = 5'000'000;
  struct Case {
    const char* Name;
    int64_t Lines;
    std::function<std::string(int64_t)> Line;
    const char* Message;
    bool Truncated;
  } cases[] = {
      {"learning rows", Millions, [](int64_t i) { return Row(i, i % 2 ? "a" : "b"); },
       "The table has more than 1000 learning rows; a data file holds at most 1000.", true},
      {"rows to predict", Millions, [](int64_t i) { return Row(i, i < 10 ? "a" : ""); },
       "The table has more than 1000 rows to predict; a data file holds at most 1000.", true},
      {"a runaway line", 1, [](int64_t) { return std::string(Millions, ','); },
       "Row 2 has more than 1000 cells; a data file holds at most 49 columns.", false},
      {"a broken quote", Millions, [](int64_t i) { return i == 5 ? "1,a\"b\n" : Row(i, "a"); },
       "Row 7 cannot be read: a quote is misplaced", false},
  };
  for (const Case& c : cases) {
    GeneratedTable source("x,y\n", c.Lines, c.Line);
    const TTableText text = ReadTableText(source);
    EXPECT_EQ(text.Truncated, c.Truncated) << c.Name;
    // Two thousand short rows, and at most two pieces read ahead.
    EXPECT_LT(source.Pulled, 3 << 20) << c.Name;
    EXPECT_LT(text.Bytes.size(), size_t{3} << 20) << c.Name;
    const TImportResult r = ImportTable(text, {});
    EXPECT_FALSE(r.Ok) << c.Name;
    EXPECT_EQ(r.Message.rfind(c.Message, 0), 0u) << c.Name << ": " << r.Message;
  }
}

// Right at the limit the whole table is read, so the counts are exact.
TEST(TableText, TablesUpToTheLimitAreReadWhole) {
  struct Case {
    int64_t Learning, Predict;
    const char* Message;  // empty: imported
  } cases[] = {
      {1000, 1000, ""},
      {1001, 1000, "The table has 1001 learning rows; a data file holds at most 1000."},
      {1000, 1001, "The table has 1001 rows to predict; a data file holds at most 1000."},
      {1001, 1001, "The table has more than 1000 learning rows"},
  };
  for (const Case& c : cases) {
    const auto line = [&](int64_t i) { return Row(i, i < c.Learning ? "a" : ""); };
    GeneratedTable source("x,y\n", c.Learning + c.Predict, line);
    const TImportResult r = ImportTable(ReadTableText(source), {});
    EXPECT_EQ(r.Ok, *c.Message == '\0') << r.Message;
    EXPECT_EQ(r.Message.rfind(c.Message, 0), 0u) << r.Message;
  }
}

// Line ends of every kind, quoted line breaks and a two-byte letter, cut into pieces of one
// byte and of seven: the same bytes kept, the same cut, the same data file.
TEST(TableText, PiecesOfAnySizeReadTheSame) {
  const std::vector<std::string> ends = {"\n", "\r\n", "\r"};
  for (const std::string& end : ends) {
    for (const int64_t rows : {1998, 2001, 2002}) {
      // Over 64 KiB, so that the reading counts records while the pieces arrive.
      const auto line = [&](int64_t i) {
        const std::string x = std::to_string(i % 5);
        return (i % 7 == 0 ? "\"" + x + end + "\xC3\xA9\"" : x) +
               ",the same forty characters in every row.," + (i % 2 ? "a" : "") + end;
      };
      const std::string header = "x,note,y" + end;
      GeneratedTable whole(header, rows, line);
      const TTableText expected = ReadTableText(whole);
      const TImportResult imported = ImportTable(expected, {});
      for (const size_t piece : {size_t{1}, size_t{7}}) {
        GeneratedTable cut(header, rows, line, piece);
        const TTableText text = ReadTableText(cut);
        EXPECT_EQ(text.Truncated, rows == 2002);
        EXPECT_EQ(text.Bytes, expected.Bytes) << rows << " rows, pieces of " << piece;
        EXPECT_EQ(ImportTable(text, {}).DataText, imported.DataText);
      }
      EXPECT_EQ(imported.Ok, rows < 2001) << imported.Message;
    }
  }
}

TEST(TableText, CancelAndReadErrorsKeepNothing) {
  GeneratedTable source("x,y\n", 1'000'000, [](int64_t i) { return Row(i, "a"); }, 1000);
  int calls = 0;
  const TTableText cancelled = ReadTableText(source, [&](int64_t read) {
    EXPECT_EQ(read, 1000 * ++calls);
    return calls < 3;
  });
  EXPECT_TRUE(cancelled.Cancelled);
  EXPECT_TRUE(cancelled.Bytes.empty());
  EXPECT_EQ(source.Pulled, 3000);

  struct Failing : TByteSource {
    int64_t Read(char*, size_t, std::string& reason) override {
      reason = "Input/output error";
      return -1;
    }
  } failing;
  const TTableText failed = ReadTableText(failing);
  EXPECT_EQ(failed.ReadError, "Input/output error");
  EXPECT_FALSE(failed.Cancelled);
}

}  // namespace
}  // namespace tarmel
