// The window's questions that keep a run honest: the file dialog of Import Table and a
// question with answers of its own.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace tarmel {

// The open dialog of Import Table, tables listed first; empty when cancelled.
QString AskImportFileName(QWidget* parent);

// The question with one button per answer and Cancel; the index of the answer, -1 for
// Cancel.
int AskChoice(QWidget* parent, const QString& question, const QStringList& answers);

}  // namespace tarmel
