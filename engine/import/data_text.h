// The data text an import writes: names and values made valid tokens, numbers checked in
// their plain decimal form, a missing marker no value equals, and the lines of the file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import_plan.h"

namespace tarmel::table_import {

// The text with every character that breaks a token replaced by _, whenEmpty for empty
// text, cut to the name length.
std::string CleanToken(std::string_view raw, std::string_view whenEmpty);

// Names and nominal values as unique tokens, numbers checked; each change noted. False,
// with a message, when a number does not fit.
bool MakeTokens(std::vector<TColumnPlan>& plans, const TSource& source, TImportResult& result);

std::string ChooseMissingMarker(const std::vector<TColumnPlan>& plans);

// Every row in written order, as the tokens the file holds.
std::vector<TOutputRow> OutputRows(const std::vector<TColumnPlan>& plans, const TSource& source,
                                   const TRoles& roles, const TImportOptions& options,
                                   const std::string& marker);

std::string WriteDataText(const std::vector<TColumnPlan>& plans,
                          const std::vector<TOutputRow>& rows, int32_t learning,
                          const std::string& marker);

}  // namespace tarmel::table_import
