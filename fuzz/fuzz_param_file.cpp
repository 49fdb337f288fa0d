// Any bytes as a parameter file.
#include <cstdint>
#include <string>

#include "param_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarmel::RunParameters params;
  tarmel::ParseParameterText(std::string(reinterpret_cast<const char*>(data), size), "fuzz.par",
                             params);
  return 0;
}
