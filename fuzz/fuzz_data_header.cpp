// Any bytes as the header of a data text, read as the window reads it.
#include <cstdint>
#include <string_view>

#include "data_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarmel::ReadDataHeader(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
