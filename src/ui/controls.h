#pragma once
// Small operations on the controls that the handlers share: finding a
// control of one window by name, left button presses, pictures from image
// bytes, the log box, list view rows and grid cells. Program texts use "\r\n" line ends; the controls
// show them as Qt line breaks.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QTreeWidget;
class QTableWidget;

namespace quillet {

// The widget (or timer) of `window` named `name`. Controls of other windows
// that are children of `window` (an open order dialog) are not considered,
// since the two windows reuse names.
QWidget* OwningWindow(QObject* object);
template <class T>
T* FindControl(QWidget* window, const QString& name) {
  if (!window) return nullptr;
  const QList<T*> candidates = window->findChildren<T*>(name);
  for (T* candidate : candidates) {
    if (OwningWindow(candidate) == window) return candidate;
  }
  return nullptr;
}

// Calls `onPress` for each left button press on `control` (a label has no
// click signal of its own); `context` ends the calls when destroyed.
void OnLeftButtonPress(QWidget* control, QObject* context, std::function<void()> onPress);

// Shows the picture held by the bytes of an image file, stretched to the box;
// bytes that are not a picture leave the box empty.
void ShowPictureBytes(QLabel* box, const QByteArray& imageBytes);

// Appends text at the end of the log box and scrolls to it.
void AppendLogText(QPlainTextEdit* log, const QString& text);

// Appends an empty row to a list view; returns its 0-based index.
int AppendListRow(QTreeWidget* list);
// Cell text of a list view; cells are aligned as their column header.
void SetListCell(QTreeWidget* list, int row, int column, const QString& text);
QString ListCellText(QTreeWidget* list, int row, int column);
void SelectListRow(QTreeWidget* list, int row);

// Grid cells keep the text as written; the cell shows "\r\n" as a line break.
void SetGridCell(QTableWidget* grid, int row, int column, const QString& text);
QString GridCellText(QTableWidget* grid, int row, int column);

// "\r\n" (and a lone "\r") as Qt line breaks.
QString DisplayLineBreaks(QString text);

}  // namespace quillet
