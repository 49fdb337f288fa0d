// Reading a table for an import on a thread of its own, so that a big file never freezes
// the window: a short read just happens; a longer one shows its progress with a Cancel.
// A table too big for the memory ends in a message, never in the loss of the window.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "table_import.h"

class QWidget;

namespace tarmel {

struct TTableReading {
  std::optional<TTableText> Text;  // nothing when the reading failed or was cancelled
  QString Error;                   // why it failed; empty when it was cancelled
};

// Reads the source on a worker thread; size (0 when not known) scales the progress bar.
TTableReading ReadTableInBackground(QWidget* parent, const QString& fileName,
                                    TByteSource& source, int64_t size);

}  // namespace tarmel
