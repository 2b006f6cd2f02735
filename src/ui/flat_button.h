#pragma once
// The flat push buttons of both windows. A caption of several lines that
// does not fit the button's height at the face's own line spacing has its
// lines set closer (the two 19-pixel lines of "车票\n查询" in 45 pixels), so
// no line is cut; otherwise the button draws as any push button.
#include <QPushButton>

namespace quillet {

class FlatButton : public QPushButton {
 public:
  FlatButton(const QString& text, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace quillet
