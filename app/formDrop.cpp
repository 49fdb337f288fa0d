// Files dropped on the window: opened as File > Open would open them, after the question
// over unsaved changes. The editor would paste a dropped file's name (or its text) at the
// drop point, so drops that carry files are taken from it before it sees them; dragging
// text inside the editor still moves the text.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTimer>
#include <QUrl>

#include "formTarmel.h"

namespace tarmel {

namespace {

// The first local file the drop carries; empty when it carries none.
QString DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

class FileDropFilter : public QObject {
 public:
  explicit FileDropFilter(TForm1* form) : QObject(form), Form_(form) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove:
        return TakeDrag(static_cast<QDragMoveEvent*>(event));
      case QEvent::Drop:
        return TakeDrop(static_cast<QDropEvent*>(event));
      default:
        return QObject::eventFilter(watched, event);
    }
  }

 private:
  // Links (a web address, say) are refused rather than pasted as text; during a run no
  // file is taken.
  bool TakeDrag(QDragMoveEvent* drag) {
    if (!drag->mimeData()->hasUrls()) return false;
    if (DroppedFile(drag->mimeData()).isEmpty() || Form_->IsRunning()) {
      drag->ignore();
    } else {
      drag->acceptProposedAction();
    }
    return true;
  }

  // The file opens once the drop is over, so that a question over unsaved changes does not
  // hold the program that dragged it.
  bool TakeDrop(QDropEvent* drop) {
    if (!drop->mimeData()->hasUrls()) return false;
    const QString file = DroppedFile(drop->mimeData());
    if (file.isEmpty() || Form_->IsRunning()) {
      drop->ignore();
      return true;
    }
    drop->acceptProposedAction();
    QTimer::singleShot(0, Form_, [form = Form_, file] { form->OpenFileAsked(file); });
    return true;
  }

  TForm1* Form_;
};

}  // namespace

void TForm1::AcceptFileDrops() {
  auto* filter = new FileDropFilter(this);
  setAcceptDrops(true);
  installEventFilter(filter);
  RichEdit1->viewport()->installEventFilter(filter);
}

}  // namespace tarmel
