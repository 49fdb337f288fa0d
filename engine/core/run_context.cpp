// The run state's few operations that are not inline.
#include "run_context.h"

#include <algorithm>
#include <thread>

namespace tarmel {

int32_t ThreadsOf(const RunContext& rc) {
  static const int32_t cores =
      static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  return rc.Threads > 0 ? rc.Threads : cores;
}

}  // namespace tarmel
