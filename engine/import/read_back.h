// The proof of an import: the written data text read with the data file reader and
// compared cell by cell with what the table holds.
#pragma once

#include <vector>

#include "import_plan.h"

namespace tarmel::table_import {

// False, with a message naming column and row, when a cell does not read back as meant;
// notes the columns where a present 9999 reads as a missing cell.
bool ReadsBack(const std::vector<TColumnPlan>& plans, const std::vector<TOutputRow>& rows,
               const TSource& source, TImportResult& result);

}  // namespace tarmel::table_import
