// The header of a data text read with the run's own tokenizer, so that a front end names
// the features exactly as the report will.
#include "data_header.h"

#include <memory>

#include "data_reader.h"

namespace tarmel {

TDataHeader ReadDataHeader(std::string_view text) {
  TDataHeader header;
  auto rc = std::make_unique<RunContext>();
  rc->In.OpenText(std::string(text));
  double objects = 0, features = 0;
  std::string token;
  if (!ReadNumber(*rc, objects) || !ReadNumber(*rc, features) || !ReadToken(*rc, token)) {
    return header;
  }
  if (objects >= 1 && objects < MaxObjects + 1) header.ObjectsNumber = static_cast<int32_t>(objects);
  if (!(features >= 1 && features < MaxFileFeatures + 1)) return header;
  header.FeaturesNumber = static_cast<int32_t>(features);
  for (int32_t f = 1; f <= header.FeaturesNumber; ++f) {
    if (!ReadToken(*rc, token)) return header;  // the feature types
  }
  std::vector<std::string> names(static_cast<size_t>(header.FeaturesNumber));
  for (std::string& name : names) {
    if (!ReadToken(*rc, name)) return header;
  }
  header.FeatureNames = std::move(names);
  header.Complete = true;
  return header;
}

}  // namespace tarmel
