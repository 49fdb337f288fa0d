// Reading a written data text back and comparing every cell with the table's.
#include "read_back.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "read_phase.h"
#include "run_context.h"

namespace tarmel::table_import {

namespace {

bool CloseEnough(double read, double exact) {
  return std::fabs(read - exact) <= 1e-9 * std::max(std::fabs(read), std::fabs(exact));
}

// Compares one cell as the reader stored it with what was meant; false after a message.
bool CellReadsBack(const RunContext& rc, const TTable& table, int32_t f, int32_t i,
                   const TOutputRow& row, const std::string& label, TImportResult& result,
                   int32_t& nines) {
  const std::string& token = row.Tokens[static_cast<size_t>(f - 1)];
  const double exact = row.Exact[static_cast<size_t>(f - 1)];
  const double read = table.At(f, i);
  const std::string where = label + ", row " + std::to_string(row.TableRow);
  if (token == rc.MissingToken) {
    if (read == MissingValue) return true;
  } else if (rc.FeatureType[f] == NominalFeature) {
    const auto code = static_cast<size_t>(read);
    if (code >= 1 && code < rc.ValueTable[f].size() && rc.ValueTable[f][code].ValueName == token) {
      return true;
    }
  } else if (read == MissingValue) {
    ++nines;  // a present 9999 is the reader's missing value
    return true;
  } else if (CloseEnough(read, exact)) {
    return true;
  } else {
    result.Message = where + ": the number " + row.Cells[static_cast<size_t>(f - 1)] +
                     " is written as " + token +
                     ", which is not its value; a number in a data file has at most " +
                     std::to_string(NameLength) + " characters.";
    return false;
  }
  result.Message = where + ": the cell " + token + " does not read back from the data file.";
  return false;
}

bool BlockReadsBack(const RunContext& rc, const TTable& table, int32_t count, size_t first,
                    const std::vector<TOutputRow>& rows, const std::vector<std::string>& labels,
                    TImportResult& result, std::vector<int32_t>& nines) {
  for (int32_t i = 1; i <= count; ++i) {
    const TOutputRow& row = rows[first + static_cast<size_t>(i - 1)];
    for (int32_t f = 1; f <= rc.FileFeatures; ++f) {
      const auto k = static_cast<size_t>(f - 1);
      if (!CellReadsBack(rc, table, f, i, row, labels[k], result, nines[k])) return false;
    }
  }
  return true;
}

}  // namespace

bool ReadsBack(const std::vector<TColumnPlan>& plans, const std::vector<TOutputRow>& rows,
               const TSource& source, TImportResult& result) {
  auto rc = std::make_unique<RunContext>();
  RunParameters params;
  params.FeatureToPredict = result.TargetFeature;
  TRandom random;
  if (!ReadRunFromText(*rc, params, result.DataText, &random)) {
    result.Message = "The data file made from the table does not read back:" + rc->Out.Written();
    return false;
  }
  std::vector<std::string> labels;
  for (const auto& p : plans) labels.push_back(ColumnLabel(source, p.Column));
  std::vector<int32_t> nines(plans.size(), 0);
  if (!BlockReadsBack(*rc, rc->DataTable, rc->ObjectsNumber, 0, rows, labels, result, nines) ||
      !BlockReadsBack(*rc, rc->PredictTable, rc->PredictObjectsNumber,
                      static_cast<size_t>(rc->ObjectsNumber), rows, labels, result, nines)) {
    return false;
  }
  for (size_t k = 0; k < plans.size(); ++k) {
    if (nines[k] == 0) continue;
    result.Changes.push_back(labels[k] + ": " + std::to_string(nines[k]) + " cells hold " +
                             MissingValueText() + ", which the data file reads as a missing cell.");
  }
  return true;
}

}  // namespace tarmel::table_import
