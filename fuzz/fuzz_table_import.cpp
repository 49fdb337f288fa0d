// Any bytes as a CSV or TSV table: the import either gives a data file that a run reads
// without a fault in its format, or says why it cannot.
#include <cstdint>
#include <string_view>

#include "table_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tarmel::ImportTable(bytes, tarmel::TImportOptions{});
  return 0;
}
