#pragma once
// The window side of grabbing. Workers call in from their own threads; every
// change to a control is posted to the window thread, and the task list is
// read from a copy taken on the window thread when grabbing starts, so no
// worker ever waits for the window thread (which joins workers at close).
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <mutex>
#include <string>
#include <vector>

#include "grab/grab_view.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace quillet {

class QtGrabView : public QObject, public GrabView {
  Q_OBJECT
 public:
  // Finds 超级列表框2, 编辑框5, 透明标签20 and 超级按钮5 on mainWindow.
  // Must be created on the window thread.
  explicit QtGrabView(QWidget* mainWindow, QObject* parent = nullptr);

  // Window thread: copies the task list for the workers about to start.
  void TakeTaskSnapshot();

  int TaskRowCount() override;
  std::string TaskCellText(int row, int column) override;
  void SetAttemptCaption(const std::string& caption) override;
  void AppendLog(const std::string& text) override;
  void SetStartButtonEnabled(bool enabled) override;

 private:
  template <typename Fn>
  void OnWindowThread(Fn&& fn);

  QPointer<QTreeWidget> taskList_;
  QPointer<QPlainTextEdit> logBox_;
  QPointer<QLabel> attemptLabel_;
  QPointer<QPushButton> startButton_;

  std::mutex snapshotMutex_;
  std::vector<std::vector<std::string>> taskRows_;  // GBK cell texts
};

}  // namespace quillet
