#pragma once
// The program's one kind of message: a modal box with an OK button and the
// title "信息：".
#include <QMessageBox>
#include <QString>
#include <string>

#include "ui/gbk_qt.h"

namespace quillet {

inline void ShowInfo(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("信息："), text, QMessageBox::Ok, parent);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

inline void ShowInfo(QWidget* parent, const std::string& gbkText) { ShowInfo(parent, FromGbk(gbkText)); }

}  // namespace quillet
