// The table importer by theme: quoting, delimiters, header detection, types, number forms,
// missing cells, name cleaning, limits and the moving of wide nominal columns, rows to
// predict, and the text's encoding. Every imported text is also read by the data file
// reader inside the importer, so a case that comes back Ok has read back cell by cell.
#include <gtest/gtest.h>

#include <random>

#include "table_import.h"

namespace tarmel {
namespace {

TImportResult Import(const std::string& text, TImportOptions options = {}) {
  return ImportTable(text, options);
}

// The data file's lines without their CR LF ends.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
  return lines;
}

bool HasChange(const TImportResult& r, const std::string& part) {
  for (const auto& c : r.Changes) {
    if (c.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(TableImport, WritesCountsTypesNamesRowsAndThePredictionBlock) {
  const TImportResult r = Import(
      "size,colour,price\n1.5,red,10\n2,blue,12.5\nNA,red,9\n"
      "3.25,blue,\n4,red,11\n");
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_EQ(Lines(r.DataText), (std::vector<std::string>{"4 3 ?", "1 0(2) 1", "size colour price",
                                                         "1.5 red 10", "2 blue 12.5", "? red 9",
                                                         "4 red 11", "Predict 1", "3.25 blue ?"}));
  EXPECT_EQ(r.TargetFeature, 3);
  EXPECT_EQ(r.LearningRows, 4);
  EXPECT_EQ(r.PredictionRows, 1);
  EXPECT_TRUE(HasChange(r, "1 rows whose Column 3 \"price\" is \"\" are the rows to predict"));
}

TEST(TableImport, QuotedCellsHoldDelimitersLineBreaksAndDoubledQuotes) {
  const TImportResult r = Import("name,x\n\"a,b\",1\n\"two\nlines\",2\n\"say \"\"hi\"\"\",3\n");
  ASSERT_TRUE(r.Ok) << r.Message;
  ASSERT_EQ(r.Preview.size(), 3u);
  EXPECT_EQ(r.Preview[0][0], "a,b");
  EXPECT_EQ(r.Preview[1][0], "two\nlines");
  EXPECT_EQ(r.Preview[2][0], "say \"hi\"");
  EXPECT_EQ(Lines(r.DataText)[3], "a_b 1");
  EXPECT_EQ(Lines(r.DataText)[4], "two_lines 2");
  EXPECT_EQ(Lines(r.DataText)[5], "say_\"hi\" 3");
}

TEST(TableImport, BrokenQuotesAndRaggedRowsNameTheRow) {
  struct Case {
    const char* Text;
    const char* Message;
  } cases[] = {
      {"a,b\n1,2\n3,\"4\n", "Row 3 cannot be read: a quote is misplaced or never closed"},
      {"a,b\n1,2\n3,4\"x\n", "Row 3 cannot be read"},
      {"a,b\n1,2\n3\n", "Row 3 has 1 cells where the first row has 2."},
      {"a,b\n1,2,5\n", "Row 2 has 3 cells where the first row has 2."},
      {"", "The table is empty."},
      {"\n\n", "The table is empty."},
      {"x,y\n", "The table has no rows below its header row."},
  };
  for (const Case& c : cases) {
    const TImportResult r = Import(c.Text);
    EXPECT_FALSE(r.Ok) << c.Text;
    EXPECT_NE(r.Message.find(c.Message), std::string::npos) << c.Text << "\n" << r.Message;
  }
  // Empty cells left over at a row's end, as spreadsheets write them, are not a fault.
  EXPECT_TRUE(Import("a,b\n1,2,,\n3,4\n").Ok);
}

TEST(TableImport, DetectsCommaSemicolonAndTab) {
  struct Case {
    const char* Text;
    char Delimiter;
  } cases[] = {
      {"a,b,c\n1,2,3\n4,5,6\n", ','},
      {"a;b;c\n1;2;3\n4;5;6\n", ';'},
      {"a\tb\tc\n1\t2\t3\n", '\t'},
      {"a;b\n1,5;2,5\n3,25;4\n", ';'},       // decimal commas beside semicolons
      {"x;y\n1,5;2\n0,5;1,25\n", ';'},       // the same number of commas on every row
      {"\"a;b\",c\n\"1;2\",3\n4,5\n", ','},  // semicolons inside quotes do not count
      {"t\tu\n\"1\t2\"\t3\n", '\t'},
  };
  for (const Case& c : cases) {
    const TImportResult r = Import(c.Text);
    EXPECT_EQ(r.Delimiter, c.Delimiter) << c.Text;
  }
  TImportOptions given;
  given.Delimiter = ';';
  EXPECT_EQ(Import("a,b;c\n1,2;3\n", given).Columns.size(), 2u);
}

TEST(TableImport, DetectsTheHeaderRow) {
  struct Case {
    const char* Text;
    bool Header;
  } cases[] = {
      {"x,y\n1,2\n3,4\n", true},
      {"1,2\n3,4\n", false},
      {"colour,kind\nred,a\nblue,b\n", true},  // words that never come again
      {"red,a\nblue,b\nred,a\n", false},       // the first row's words come again
      {"x,x\n1,2\n3,4\n", false},              // names must differ
      {"x,NA\n1,2\n3,4\n", false},             // a missing cell is no name
      {"name,2020\nred,5\nblue,6\n", false},   // a number is no name
      {"kind,value\niris,5\nrose,6\niris,2\n", true},
  };
  for (const Case& c : cases) EXPECT_EQ(Import(c.Text).HasHeader, c.Header) << c.Text;
  TImportOptions absent;
  absent.Header = HeaderChoice::Absent;
  const TImportResult r = Import("x,y\n1,2\n3,4\n", absent);
  EXPECT_FALSE(r.HasHeader);
  EXPECT_EQ(r.Columns[0].Name, "V1");
  EXPECT_FALSE(r.Columns[0].Numeric);  // "x" is among its cells now
  TImportOptions present;
  present.Header = HeaderChoice::Present;
  EXPECT_EQ(Import("1,2\n3,4\n5,6\n", present).Columns[1].Name, "2");
}

TEST(TableImport, ColumnTypesAndValueCounts) {
  const TImportResult r = Import("n,w,mixed,empty,y\n1,a,1,,5\n2,b,x,NA,6\n1,a,2,,7\n");
  ASSERT_TRUE(r.Ok) << r.Message;
  ASSERT_EQ(r.Columns.size(), 5u);
  EXPECT_TRUE(r.Columns[0].Numeric);
  EXPECT_EQ(r.Columns[0].ValuesNumber, 2);
  EXPECT_FALSE(r.Columns[1].Numeric);
  EXPECT_EQ(r.Columns[1].ValuesNumber, 2);
  EXPECT_FALSE(r.Columns[2].Numeric);  // one word makes the column nominal
  EXPECT_EQ(r.Columns[2].ValuesNumber, 3);
  EXPECT_EQ(r.Columns[3].MissingCells, 3);
  EXPECT_EQ(r.Columns[3].Feature, 0);  // no values: dropped
  EXPECT_EQ(r.Columns[4].Feature, 4);
  EXPECT_TRUE(HasChange(r, "Column 4 \"empty\" has no values: dropped."));
  EXPECT_EQ(Lines(r.DataText)[1], "1 0(2) 0(3) 1");
}

TEST(TableImport, NumberFormsBecomePlainDecimals) {
  struct Case {
    const char* Cell;
    bool DecimalComma;
    const char* Text;  // nullptr: no number
    bool Rewritten, Rounded, TooLong;
  } cases[] = {
      {"12.50", false, "12.50", false, false, false},
      {".5", false, ".5", false, false, false},
      {"5.", false, "5.", false, false, false},
      {"-0.25", false, "-0.25", false, false, false},
      {"+5", false, "5", true, false, false},
      {"1e-3", false, "0.001", true, false, false},
      {"1.5E+2", false, "150", true, false, false},
      {"-.5e1", false, "-5", true, false, false},
      {"-0e0", false, "0", true, false, false},
      {"2.50e1", false, "25", true, false, false},
      {"1,5", true, "1.5", true, false, false},
      {"1.5", true, "1.5", false, false, false},
      {"3.14159265358979323846", false, "3.141592653589793238", true, true, false},
      {"9.99999999999999999999", false, "10", true, true, false},
      {"-123456789.123456789012", false, "-123456789.123456789", true, true, false},
      {"1e19", false, "10000000000000000000", true, false, false},
      {"1e20", false, "", true, false, true},
      {"123456789012345678901", false, "", true, false, true},
      {"1e-30", false, "0", true, true, false},
      {"1,5", false, nullptr, false, false, false},
      {"1.2.3", false, nullptr, false, false, false},
      {"-", false, nullptr, false, false, false},
      {".", false, nullptr, false, false, false},
      {"1e", false, nullptr, false, false, false},
      {"e5", false, nullptr, false, false, false},
      {"0x10", false, nullptr, false, false, false},
      {"Inf", false, nullptr, false, false, false},
      {" 5", false, nullptr, false, false, false},
  };
  for (const Case& c : cases) {
    const std::optional<TPlainNumber> n = PlainNumber(c.Cell, c.DecimalComma);
    ASSERT_EQ(n.has_value(), c.Text != nullptr) << c.Cell;
    if (!n) continue;
    EXPECT_EQ(n->Rewritten, c.Rewritten) << c.Cell;
    EXPECT_EQ(n->Rounded, c.Rounded) << c.Cell;
    EXPECT_EQ(n->TooLong, c.TooLong) << c.Cell;
    if (!c.TooLong) {
      EXPECT_EQ(n->Text, c.Text) << c.Cell;
    }
  }
  EXPECT_EQ(PlainNumber("1e-3", false)->Value, 0.001);
  EXPECT_EQ(PlainNumber("-1,25", true)->Value, -1.25);
}

TEST(TableImport, RewrittenNumbersAreListedAndReadBack) {
  const TImportResult r = Import("a;b\n+5;1,5\n1e-3;2\n7;3\n");
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_EQ(Lines(r.DataText)[3], "5 1.5");
  EXPECT_EQ(Lines(r.DataText)[4], "0.001 2");
  EXPECT_TRUE(HasChange(r,
                        "Column 1 \"a\": numbers written in plain decimal form: +5 as 5 "
                        "(row 2); 1e-3 as 0.001 (row 3)."));
  const TImportResult small = Import("a,b\n1e-30,1\n2,2\n");
  EXPECT_FALSE(small.Ok);
  EXPECT_EQ(small.Message,
            "Column 1 \"a\", row 2: the number 1e-30 is written as 0, "
            "which is not its value; a number in a data file has at most 20 "
            "characters.");
  const TImportResult huge = Import("a,b\n1e25,1\n2,2\n");
  EXPECT_FALSE(huge.Ok);
  EXPECT_EQ(huge.Message,
            "Column 1 \"a\", row 2: the number 1e25 needs more than 20 "
            "characters in plain decimal form.");
  const TImportResult nines = Import("a,b\n9999,1\n2,2\n");
  ASSERT_TRUE(nines.Ok);
  EXPECT_TRUE(HasChange(nines, "1 cells hold 9999, which the data file reads as a missing"));
}

TEST(TableImport, MissingCellsAndTheMarker) {
  const TImportResult r = Import("a,b,c\nNA,?,1\nNaN,x,2\n,y,3\n4,?,4\n");
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_EQ(r.Columns[0].MissingCells, 3);
  EXPECT_EQ(r.Columns[1].MissingCells, 2);
  EXPECT_EQ(Lines(r.DataText)[3], "? ? 1");
  TImportOptions own;
  own.MissingMarkers = {"-"};
  own.PredictValue.reset();
  const TImportResult q = Import("a,b,c\n-,?,1\n2,x,2\n3,y,\n", own);
  ASSERT_TRUE(q.Ok) << q.Message;
  EXPECT_EQ(q.Columns[1].ValuesNumber, 3);  // ? is a value now
  EXPECT_EQ(q.Columns[2].ValuesNumber, 3);  // and the empty cell too
  EXPECT_EQ(Lines(q.DataText)[0], "3 3 NA");
  EXPECT_EQ(Lines(q.DataText)[3], "NA ? 1");
  EXPECT_TRUE(HasChange(q, "Missing cells are written as NA, since ? is a value."));
}

TEST(TableImport, NamesAndValuesBecomeUniqueTokens) {
  const TImportResult r = Import(
      "unit price,a#b,a_b,a very long name of a column,a very long name of a column too,y\n"
      "1,\"x y\",q,1,1,1\n2,x_y,\"q,\",2,2,2\n");
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_EQ(Lines(r.DataText)[2],
            "unit_price a_b a_b_2 a_very_long_name_of_ a_very_long_name_o_2 y");
  EXPECT_EQ(Lines(r.DataText)[3], "1 x_y q 1 1 1");
  EXPECT_EQ(Lines(r.DataText)[4], "2 x_y_2 q_ 2 2 2");
  EXPECT_TRUE(HasChange(r, "Column 1 \"unit price\": name written as unit_price."));
  EXPECT_TRUE(HasChange(r,
                        "Column 2 \"a#b\": values renamed: \"x y\" written as x_y; "
                        "\"x_y\" written as x_y_2."));
  // A cut never splits a character: 19 bytes of letters and a two-byte letter.
  const TImportResult u = Import("abcdefghijklmnopqrs\xC3\xA9,y\n1,2\n");
  ASSERT_TRUE(u.Ok);
  EXPECT_EQ(Lines(u.DataText)[2], "abcdefghijklmnopqrs y");
}

// A numeric column y and nominal columns c1, c2 ... cycling through their values.
std::string WideTable(int nominalColumns, int rows, int values) {
  std::string text = "y";
  for (int c = 1; c <= nominalColumns; ++c) text += ",c" + std::to_string(c);
  text += "\n";
  for (int r = 0; r < rows; ++r) {
    text += std::to_string(r % 2);
    for (int c = 1; c <= nominalColumns; ++c) text += ",v" + std::to_string(r % values);
    text += "\n";
  }
  return text;
}

TEST(TableImport, LimitsNameTheColumnOrRow) {
  struct Case {
    std::string Text;
    std::string Target;
    const char* Message;
  } cases[] = {
      {WideTable(1, 1001, 2), "y",
       "The table has 1001 learning rows; a data file holds at "
       "most 1000."},
      {WideTable(49, 3, 2), "y",
       "The table has 50 columns to write; a data file holds at "
       "most 49."},
      {"y\n1\n2\n", "", "A data file needs at least two columns"},
      {"a,b\n1,x\n2,y\n", "c",
       "No column is named \"c\"; give a name from the first row "
       "or a column number from 1 to 2."},
      {"a,b\n1,x\n2,y\n", "3", "No column is named \"3\""},
      {WideTable(1, 12, 11), "c1",
       "The target, Column 2 \"c1\", has 11 classes; a "
       "classification may have at most 10."},
      {"a,b\n1,NA\n2,NA\n", "", "The target, Column 2 \"b\", has no value in any learning row"},
      {"a,b\n1,9999\n2,NA\n", "", "The target, Column 2 \"b\", has no value in any learning row "
                                 "(9999 counts as missing)."},
      {WideTable(1, 100, 100), "y",
       "Column 2 \"c1\" has 100 different values; a nominal "
       "column may have at most 99"},
      {WideTable(3, 12, 11), "y",
       "Column 2 \"c1\", Column 3 \"c2\", Column 4 \"c3\" have "
       "more than 10 different values each"},
      // A huge cell is named by its start and its length, never whole.
      {"a,b\n1,x\n" + std::string(50000, '7') + ",y\n", "b",
       "row 3: the number 77777777777777777777...(50,000 characters) needs more than 20"},
      {"a,b\n1,x\n2,y\n", std::string(61, 'c'), "No column is named \"cccccccccccccccccccc...(61 "
                                                  "characters)\";"},
  };
  for (const Case& c : cases) {
    TImportOptions options;
    options.Target = c.Target;
    const TImportResult r = Import(c.Text, options);
    EXPECT_FALSE(r.Ok) << c.Message;
    EXPECT_NE(r.Message.find(c.Message), std::string::npos) << c.Message << "\n" << r.Message;
    EXPECT_TRUE(r.DataText.empty());
  }
  TImportOptions y;
  y.Target = "1";
  EXPECT_TRUE(Import(WideTable(1, 1000, 2), y).Ok);
  EXPECT_TRUE(Import(WideTable(2, 99, 99), y).Ok);
}

TEST(TableImport, WideNominalColumnsMoveToTheLastTwoPlaces) {
  std::string text = "city,x,zip,y\n";
  for (int r = 0; r < 30; ++r) {
    text += "c" + std::to_string(r % 15) + "," + std::to_string(r) + ",z" + std::to_string(r % 12) +
            "," + std::to_string(r % 3) + "\n";
  }
  TImportOptions options;
  options.Target = "y";
  const TImportResult r = Import(text, options);
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_EQ(Lines(r.DataText)[1], "1 1 0(15) 0(12)");
  EXPECT_EQ(Lines(r.DataText)[2], "x y city zip");
  EXPECT_EQ(r.TargetFeature, 2);
  EXPECT_EQ(r.Columns[0].Feature, 3);
  EXPECT_TRUE(HasChange(r, "Column 1 \"city\" has 15 different values: moved to feature 3"));
  // Already among the last two: nothing moves.
  options.Target = "x";
  const TImportResult inPlace = Import(
      "x,y,city\n1,a,c1\n2,b,c2\n3,a,c3\n4,b,c4\n5,a,c5\n6,b,c6\n"
      "7,a,c7\n8,b,c8\n9,a,c9\n10,b,c10\n11,a,c11\n",
      options);
  ASSERT_TRUE(inPlace.Ok) << inPlace.Message;
  EXPECT_EQ(Lines(inPlace.DataText)[2], "x y city");
  EXPECT_FALSE(HasChange(inPlace, "moved"));
}

TEST(TableImport, ChosenCellValueMarksRowsToPredict) {
  const std::string text = "x,role,y\n1,learn,a\n2,test,b\n3,learn,b\n4,learn,a\n";
  TImportOptions options;
  options.PredictColumn = "role";
  options.PredictValue = "test";
  const TImportResult r = Import(text, options);
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_EQ(Lines(r.DataText), (std::vector<std::string>{"3 2 ?", "1 0(2)", "x y", "1 a", "3 b",
                                                         "4 a", "Predict 1", "2 b"}));
  EXPECT_EQ(r.TargetFeature, 2);
  EXPECT_TRUE(HasChange(r, "Column 2 \"role\" marks the rows to predict: dropped."));
  options.PredictValue.reset();  // no prediction block: the column is a feature
  const TImportResult all = Import(text, options);
  ASSERT_TRUE(all.Ok);
  EXPECT_EQ(Lines(all.DataText)[0], "4 3 ?");
  options.PredictValue = "";
  options.PredictColumn = "";
  const TImportResult none = Import("x,y\n1,\n2,\n", options);
  EXPECT_EQ(none.Message, "No learning row: every row is marked as a row to predict.");
}

TEST(TableImport, AcceptsUtf8WithOrWithoutByteOrderMarkAndLatin1) {
  const TImportResult bom = Import("\xEF\xBB\xBFx,y\n1,caf\xC3\xA9\n2,b\n");
  ASSERT_TRUE(bom.Ok) << bom.Message;
  EXPECT_EQ(Lines(bom.DataText)[2], "x y");
  EXPECT_EQ(Lines(bom.DataText)[3], "1 caf\xC3\xA9");
  EXPECT_TRUE(HasChange(bom, "byte-order mark"));
  const TImportResult latin1 = Import("x,y\n1,caf\xE9\n2,b\n");
  ASSERT_TRUE(latin1.Ok) << latin1.Message;
  EXPECT_EQ(Lines(latin1.DataText)[3], "1 caf\xC3\xA9");
  EXPECT_TRUE(HasChange(latin1, "read as Latin-1"));
  const TImportResult utf16 = Import(std::string("\xFF\xFEx\0,\0y\0", 8));
  EXPECT_FALSE(utf16.Ok);
  EXPECT_NE(utf16.Message.find("UTF-16"), std::string::npos);
  // Control bytes, the end-of-data byte among them, never reach the data file.
  const TImportResult control =
      Import(std::string("x,y\n1,a\x1A"
                         "b\n2,c\0d\n",
                         16));
  ASSERT_TRUE(control.Ok) << control.Message;
  EXPECT_EQ(Lines(control.DataText)[3], "1 a_b");
  EXPECT_EQ(Lines(control.DataText)[4], "2 c_d");
}

TEST(TableImport, UnreadableFileIsNamed) {
  const TImportResult r = ImportTableFile("/no/such/table.csv", {});
  EXPECT_FALSE(r.Ok);
  EXPECT_EQ(r.Message.rfind("Cannot read the table /no/such/table.csv: ", 0), 0u) << r.Message;
}

// Tables pieced together from fragments that matter to the parser and the importer: each
// ends in a data file or a message, never in a crash; a data file has read back already.
TEST(TableImport, RandomTablesEndInADataFileOrAMessage) {
  const char* const fragments[] = {",", ";", "\t", "\"", "\n", "\r\n", "1", "-2.5", "+3", "1e4",
                                   "4,5", "a", "b c", "NA", "", "#", "\x1a", "\xC3\xA9", "\xE9",
                                   "9999", "x,y\n", "1,a\n2,b\n"};
  std::mt19937 rng(12);
  int imported = 0;
  for (int n = 0; n < 2000; ++n) {
    std::string text;
    const int pieces = 1 + static_cast<int>(rng() % 40);
    for (int k = 0; k < pieces; ++k) text += fragments[rng() % std::size(fragments)];
    const TImportResult r = Import(text);
    if (!r.Ok) {
      EXPECT_FALSE(r.Message.empty()) << text;
      EXPECT_EQ(r.Message.find("does not read back"), std::string::npos) << text << r.Message;
      continue;
    }
    ++imported;
    EXPECT_GE(r.TargetFeature, 1);
    EXPECT_EQ(r.DataText.substr(r.DataText.size() - 2), "\r\n");
  }
  EXPECT_GT(imported, 100);
}

}  // namespace
}  // namespace tarmel
