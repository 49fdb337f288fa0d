// Any bytes as a data file, read and grown in a whole run with small parameters.
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarmel::fuzz::RunText(data, size);
  return 0;
}
