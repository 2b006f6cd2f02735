#include "ui/qt_grab_view.h"

#include <QLabel>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>
#include <QWidget>

#include "ui/controls.h"
#include "ui/gbk_qt.h"

namespace quillet {

QtGrabView::QtGrabView(QWidget* mainWindow, QObject* parent)
    : QObject(parent),
      taskList_(FindControl<QTreeWidget>(mainWindow, QStringLiteral("超级列表框2"))),
      logBox_(FindControl<QPlainTextEdit>(mainWindow, QStringLiteral("编辑框5"))),
      attemptLabel_(FindControl<QLabel>(mainWindow, QStringLiteral("透明标签20"))),
      startButton_(FindControl<QPushButton>(mainWindow, QStringLiteral("超级按钮5"))) {}

void QtGrabView::TakeTaskSnapshot() {
  std::vector<std::vector<std::string>> rows;
  if (taskList_) {
    const int count = taskList_->topLevelItemCount();
    rows.reserve(static_cast<std::size_t>(count));
    for (int r = 0; r < count; ++r) {
      const QTreeWidgetItem* item = taskList_->topLevelItem(r);
      std::vector<std::string> cells;
      for (int c = 0; c < item->columnCount(); ++c) cells.push_back(ToGbk(item->text(c)));
      rows.push_back(std::move(cells));
    }
  }
  std::lock_guard lock(snapshotMutex_);
  taskRows_ = std::move(rows);
}

int QtGrabView::TaskRowCount() {
  std::lock_guard lock(snapshotMutex_);
  return static_cast<int>(taskRows_.size());
}

std::string QtGrabView::TaskCellText(int row, int column) {
  std::lock_guard lock(snapshotMutex_);
  if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= taskRows_.size()) return {};
  const auto& cells = taskRows_[static_cast<std::size_t>(row)];
  if (static_cast<std::size_t>(column) >= cells.size()) return {};
  return cells[static_cast<std::size_t>(column)];
}

template <typename Fn>
void QtGrabView::OnWindowThread(Fn&& fn) {
  if (QThread::currentThread() == thread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(this, std::forward<Fn>(fn), Qt::QueuedConnection);
}

void QtGrabView::SetAttemptCaption(const std::string& caption) {
  OnWindowThread([this, text = FromGbk(caption)] {
    if (attemptLabel_) attemptLabel_->setText(text);
  });
}

void QtGrabView::AppendLog(const std::string& text) {
  OnWindowThread([this, lines = FromGbk(text)] { AppendLogText(logBox_, lines); });
}

void QtGrabView::SetStartButtonEnabled(bool enabled) {
  OnWindowThread([this, enabled] {
    if (startButton_) startButton_->setEnabled(enabled);
  });
}

}  // namespace quillet
