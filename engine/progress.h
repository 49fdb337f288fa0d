// How a run shows its progress: it sets the text of status-bar panel 1 (" Node " n) or
// panel 2 (" Variant " v " Fold " f). A window delivers the texts to its status bar; the
// batch runner shows them on a terminal; a run without a sink shows nothing.
#pragma once

#include <string>

namespace tarmel {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetPanelText(int panel, const std::string& text) = 0;
};

}  // namespace tarmel
