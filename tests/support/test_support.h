// Helpers shared by the engine tests: small data texts and a run over an inline data text
// with its report kept in memory.
#pragma once

#include <memory>
#include <string>

#include "run_context.h"
#include "read_phase.h"

namespace tarmel::testing {

// Joins lines with CR LF, the data format's own line end.
inline std::string CrLf(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

// The worked example of the data format: five objects, three features, two to predict.
inline const std::initializer_list<const char*> WorkedExample = {
    "5 3 ?",       "1 0(2) 1", "Size Color Price", "1.5 red 10", "2 blue 12.5",
    "? red 9 # a comment #", "3.25,blue,?", "4 red 11", "Predict 2", "2.5 blue ?", "1 red 10"};

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
