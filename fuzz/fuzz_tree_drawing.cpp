// Any bytes as a data file whose kept trees are then described and laid out: names and
// values of any bytes must reach the drawing library as text it accepts.
#include <cstdio>
#include <cstdlib>

#include "fuzz_input.h"
#include "tree_drawing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const tarmel::RunResult run = tarmel::fuzz::RunText(data, size);
  for (const tarmel::TKeptTree& tree : run.Trees) {
    const tarmel::TTreeLayout layout = tarmel::LayoutTree(run, tree, tarmel::TDrawOptions{});
    if (!layout.Ok) {
      std::fprintf(stderr, "a kept tree could not be laid out: %s\n", layout.Error.c_str());
      std::abort();
    }
  }
  return 0;
}
