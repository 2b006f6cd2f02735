#pragma once
// The labels of both windows. A text wider than its label wraps within the
// label's height; when its lines do not fit at the face's own line spacing
// they are set one em apart (a 24-pixel label holds two lines of a 12-pixel
// face), so no character of a fixed text is cut.
#include <QLabel>

namespace quillet {

class WrappingLabel : public QLabel {
 public:
  explicit WrappingLabel(const QString& text, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace quillet
