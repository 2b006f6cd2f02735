#include "ui/flat_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace quillet {

FlatButton::FlatButton(const QString& text, QWidget* parent) : QPushButton(text, parent) { setFlat(true); }

void FlatButton::paintEvent(QPaintEvent* event) {
  QStyleOptionButton option;
  initStyleOption(&option);
  const QStringList lines = option.text.split(QLatin1Char('\n'));
  const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
  const int count = static_cast<int>(lines.size());
  if (count < 2 || count * fontMetrics().lineSpacing() <= contents.height()) {
    QPushButton::paintEvent(event);
    return;
  }
  // The panel, then each line centred in its own slot, both drawn by the
  // style so that the colours follow the button's state.
  QStylePainter painter(this);
  QStyleOptionButton panel = option;
  panel.text.clear();
  painter.drawControl(QStyle::CE_PushButtonBevel, panel);
  const int step = contents.height() / count;
  const int top = contents.top() + (contents.height() - count * step) / 2;
  for (int i = 0; i < count; ++i) {
    QStyleOptionButton line = option;
    line.text = lines[i];
    line.rect = QRect(option.rect.left(), top + i * step, option.rect.width(), step);
    painter.drawControl(QStyle::CE_PushButtonLabel, line);
  }
}

}  // namespace quillet
