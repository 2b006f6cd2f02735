#pragma once
// The two windows as data: every control with its object name (the names the
// handlers use), kind, parent, position, size, initial state, texts, fonts and
// colours. Handlers find controls by object name, e.g.
//   window->findChild<QPushButton*>(QStringLiteral("超级按钮5"))
class QWidget;
class QDialog;

namespace quillet {

// Creates every control of the main window (all four tab pages) on `window`.
void BuildMainWindowLayout(QWidget* window);
// Creates every control of the order dialog on `dialog`.
void BuildOrderDialogLayout(QDialog* dialog);

}  // namespace quillet
