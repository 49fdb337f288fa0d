// What a front end may read of a data text without running it: the header's counts and
// feature names, and the line a row begins on, tokenized exactly as a run reads them
// (comments and all).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarmel {

struct TDataHeader {
  bool Complete = false;                  // counts, marker, types and names all present
  int32_t ObjectsNumber = 0;              // the object count the file declares; 0 when unusable
  int32_t FeaturesNumber = 0;             // the feature count the file declares
  std::vector<std::string> FeatureNames;  // [f - 1], as the run keeps them
};

// The header of a data text; not Complete when it ends early or declares no usable
// feature count.
TDataHeader ReadDataHeader(std::string_view text);

// The line (from 1) on which learning row `row` (from 1) begins, or with prediction row
// `row` of the block after the "predict" keyword; 0 when the text holds no such row.
int32_t DataRowLine(std::string_view text, int32_t row, bool prediction);

}  // namespace tarmel
