// The About box: the product's name and version, closed with OK.
#pragma once

#include <QDialog>

namespace tarmel {

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
};

}  // namespace tarmel
