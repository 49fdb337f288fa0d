// Helpers shared by the engine tests: a run over an inline data text with its report kept
// in memory.
#pragma once

#include <memory>
#include <string>

#include "run_context.h"
#include "run_driver.h"

namespace tarmel::testing {

// Joins lines with CR LF, the data format's own line end.
inline std::string CrLf(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

struct ReadOutcome {
  bool Ok = false;
  std::string Report;
  std::unique_ptr<RunContext> Context = std::make_unique<RunContext>();
  RunParameters Params;
  TRandom Random;
};

// Reads the text as a data file; the parameters live as long as the outcome.
inline std::unique_ptr<ReadOutcome> ReadText(const std::string& text, RunParameters params = {}) {
  auto out = std::make_unique<ReadOutcome>();
  out->Params = params;
  out->Ok = ReadRunFromText(*out->Context, out->Params, text, &out->Random);
  out->Report = out->Context->Out.Written();
  return out;
}

}  // namespace tarmel::testing
