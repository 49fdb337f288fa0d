// Drawn tree and results summary files of the batch runner.
#include "tree_outputs.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>

#include "results_summary.h"
#include "text_files.h"
#include "tree_drawing.h"

namespace tarmel {

namespace {

std::string WriteFile(const std::string& fileName, const std::string& bytes) {
  std::string reason;
  if (WriteFileSafely(fileName, bytes, reason)) return {};
  return "cannot write " + fileName + ": " + reason;
}

const TKeptTree* ChosenTree(const RunResult& run, int32_t variant, std::string& error) {
  if (run.Trees.empty()) {
    error = "the run kept no tree to draw";
    return nullptr;
  }
  if (variant == 0) return &run.Trees[0];
  std::string kept;
  for (const TKeptTree& tree : run.Trees) {
    if (tree.Variant == variant) return &tree;
    kept += (kept.empty() ? "" : ", ") + std::to_string(tree.Variant);
  }
  error = "no kept tree of variant " + std::to_string(variant) + " (kept: " + kept + ")";
  return nullptr;
}

std::string WriteDrawing(const RunResult& run, const TreeOutputOptions& options) {
  PictureFormat format = PictureFormat::Dot;
  PictureFormatOf(options.TreeFile, format);
  std::string error;
  const TKeptTree* tree = ChosenTree(run, options.TreeVariant, error);
  if (tree == nullptr) return error;
  const TPicture picture = RenderTree(run, *tree, format);
  if (!picture.Ok) return "cannot draw the tree: " + picture.Error;
  return WriteFile(options.TreeFile, picture.Bytes);
}

}  // namespace

int TakeTreeOption(int argc, char** argv, int& i, TreeOutputOptions& options,
                   std::string& error) {
  const std::string arg = argv[i];
  if (arg != "--tree" && arg != "--tree-variant" && arg != "--summary") return 0;
  if (i + 1 >= argc) {
    error = arg + (arg == "--tree-variant" ? " needs a variant number" : " needs a file name");
    return -1;
  }
  const std::string value = argv[++i];
  if (arg == "--tree") {
    options.TreeFile = value;
  } else if (arg == "--summary") {
    options.SummaryFile = value;
  } else {
    const char* end = value.data() + value.size();
    const auto res = std::from_chars(value.data(), end, options.TreeVariant);
    if (res.ec != std::errc() || res.ptr != end || options.TreeVariant < 1) {
      error = "--tree-variant needs a variant number from 1";
      return -1;
    }
  }
  return 1;
}

std::string CheckTreeOptions(const TreeOutputOptions& options) {
  PictureFormat format = PictureFormat::Dot;
  if (!options.TreeFile.empty() && !PictureFormatOf(options.TreeFile, format)) {
    return "--tree needs a file name ending in .svg, .png or .dot";
  }
  if (options.TreeVariant > 0 && options.TreeFile.empty()) {
    return "--tree-variant needs --tree";
  }
  return {};
}

std::string WriteTreeOutputs(const RunResult& run, const TreeOutputOptions& options) {
  if (!options.TreeFile.empty()) {
    if (std::string error = WriteDrawing(run, options); !error.empty()) return error;
  }
  if (!options.SummaryFile.empty()) {
    return WriteFile(options.SummaryFile, SummaryTsv(run, -1));
  }
  return {};
}

}  // namespace tarmel
