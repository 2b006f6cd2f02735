#include "ui/wrapping_label.h"

#include <QFontInfo>
#include <QPainter>
#include <QTextLayout>
#include <vector>

namespace quillet {

WrappingLabel::WrappingLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
}

void WrappingLabel::paintEvent(QPaintEvent* event) {
  const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  const QString shown = text();
  const QFontMetrics metrics = fontMetrics();
  if (shown.isEmpty() || shown.contains(QLatin1Char('\n')) || metrics.horizontalAdvance(shown) <= area.width()) {
    QLabel::paintEvent(event);
    return;
  }

  QTextOption option(alignment() & Qt::AlignHorizontal_Mask);
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  QTextLayout layout(shown, font());
  layout.setTextOption(option);
  std::vector<QTextLine> lines;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(area.width());
    line.setPosition(QPointF(0, 0));  // placed one by one when drawn
    lines.push_back(line);
  }
  layout.endLayout();
  const int count = static_cast<int>(lines.size());

  int spacing = metrics.lineSpacing();
  // An ideograph's ink fills the em; each line's em is centred in its slot.
  const QRect ink = metrics.tightBoundingRect(QStringLiteral(u"国"));
  if (count * spacing > area.height()) spacing = qMax(QFontInfo(font()).pixelSize(), area.height() / count);
  const int baselineInSlot = (spacing - ink.height()) / 2 - ink.top();
  int top = area.top();
  if (alignment() & Qt::AlignVCenter) top += (area.height() - count * spacing) / 2;
  if (alignment() & Qt::AlignBottom) top += area.height() - count * spacing;

  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  for (int i = 0; i < count; ++i) {
    const QTextLine& line = lines[static_cast<size_t>(i)];
    const int baseline = top + i * spacing + baselineInSlot;
    line.draw(&painter, QPointF(area.left(), baseline - line.ascent()));
  }
}

}  // namespace quillet
