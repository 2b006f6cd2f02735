#include "ui/controls.h"

#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextCursor>
#include <QTreeWidget>

namespace quillet {

QWidget* OwningWindow(QObject* object) {
  for (QObject* at = object; at; at = at->parent()) {
    if (auto* widget = qobject_cast<QWidget*>(at)) return widget->window();
  }
  return nullptr;
}

namespace {

class LeftButtonFilter : public QObject {
 public:
  LeftButtonFilter(QObject* parent, std::function<void()> onPress) : QObject(parent), onPress_(std::move(onPress)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      onPress_();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> onPress_;
};

}  // namespace

void OnLeftButtonPress(QWidget* control, QObject* context, std::function<void()> onPress) {
  control->installEventFilter(new LeftButtonFilter(context, std::move(onPress)));
}

void ShowPictureBytes(QLabel* box, const QByteArray& imageBytes) {
  if (!box) return;
  QPixmap picture;
  if (imageBytes.isEmpty() || !picture.loadFromData(imageBytes)) {
    box->clear();
    return;
  }
  box->setPixmap(picture);
}

QString DisplayLineBreaks(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

void AppendLogText(QPlainTextEdit* log, const QString& text) {
  if (!log) return;
  QTextCursor cursor = log->textCursor();
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(DisplayLineBreaks(text));
  log->setTextCursor(cursor);
  log->ensureCursorVisible();
}

int AppendListRow(QTreeWidget* list) {
  auto* item = new QTreeWidgetItem(list);
  QTreeWidgetItem* header = list->headerItem();
  for (int column = 0; column < list->columnCount(); ++column) {
    item->setTextAlignment(column, Qt::Alignment(header->textAlignment(column)));
  }
  return list->indexOfTopLevelItem(item);
}

void SetListCell(QTreeWidget* list, int row, int column, const QString& text) {
  if (QTreeWidgetItem* item = list->topLevelItem(row)) item->setText(column, text);
}

QString ListCellText(QTreeWidget* list, int row, int column) {
  QTreeWidgetItem* item = list->topLevelItem(row);
  return item ? item->text(column) : QString();
}

void SelectListRow(QTreeWidget* list, int row) {
  if (QTreeWidgetItem* item = list->topLevelItem(row)) list->setCurrentItem(item);
}

namespace {

QTableWidgetItem* GridItem(QTableWidget* grid, int row, int column) {
  QTableWidgetItem* item = grid->item(row, column);
  if (!item) {
    item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    grid->setItem(row, column, item);
  }
  return item;
}

}  // namespace

void SetGridCell(QTableWidget* grid, int row, int column, const QString& text) {
  QTableWidgetItem* item = GridItem(grid, row, column);
  item->setData(Qt::UserRole, text);
  item->setText(DisplayLineBreaks(text));
}

QString GridCellText(QTableWidget* grid, int row, int column) {
  QTableWidgetItem* item = grid->item(row, column);
  if (!item) return {};
  const QVariant written = item->data(Qt::UserRole);
  return written.isValid() ? written.toString() : item->text();
}

}  // namespace quillet
