#include "ui/drop_down_list.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProxyStyle>
#include <QScreen>

namespace quillet {

namespace {

// Keeps typing in the station box while its drop-down list is open.
class TypingForwarder : public QObject {
 public:
  TypingForwarder(QLineEdit* box, QObject* parent) : QObject(parent), box_(box) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!EditsText(*key)) break;
        QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat(), key->count());
        QCoreApplication::sendEvent(box_, &copy);
        return true;
      }
      case QEvent::InputMethod:
      case QEvent::InputMethodQuery:
        // The input method talks to whatever holds the keyboard; the box
        // answers its queries (enabled, cursor place) and takes its text.
        QCoreApplication::sendEvent(box_, event);
        return true;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  static bool EditsText(const QKeyEvent& key) {
    switch (key.key()) {
      case Qt::Key_Backspace:
      case Qt::Key_Delete:
      case Qt::Key_Left:
      case Qt::Key_Right:
      case Qt::Key_Home:
      case Qt::Key_End:
        return true;
      case Qt::Key_Up:
      case Qt::Key_Down:
      case Qt::Key_PageUp:
      case Qt::Key_PageDown:
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Escape:
      case Qt::Key_Tab:
      case Qt::Key_Backtab:
        return false;
      default:
        return !key.text().isEmpty() && key.text().at(0).isPrint();
    }
  }

  QLineEdit* box_;
};

// The application's style, but drop-down lists open as lists, not as menus
// laid over the box with the current item on it.
class ListPopupStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ComboBox_Popup) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// Height of an open list without entries: one empty row.
constexpr int kEmptyPopupRows = 1;

}  // namespace

DropDownList::DropDownList(QWidget* parent) : QComboBox(parent) {
  auto* style = new ListPopupStyle;
  style->setParent(this);
  setStyle(style);
}

void DropDownList::showPopup() {
  if (count() == 0) {
    ShowEmptyPopup();
  } else {
    QComboBox::showPopup();
  }
  PlacePopupBelow();
}

void DropDownList::ShowEmptyPopup() {
  // Qt opens nothing for an empty list; open its frame with one empty row.
  QWidget* popup = view()->parentWidget();
  if (!popup) return;
  const int rowHeight = qMax(view()->sizeHintForRow(0), fontMetrics().height() + 4);
  const QMargins frame = popup->contentsMargins();
  popup->resize(width(), kEmptyPopupRows * rowHeight + frame.top() + frame.bottom() + 2 * view()->frameWidth());
  popup->show();
  view()->setFocus();
}

void DropDownList::PlacePopupBelow() {
  QWidget* popup = view()->parentWidget();
  if (!popup || !popup->isVisible()) return;
  QRect box(mapToGlobal(QPoint(0, 0)), size());
  if (typingBox_) box |= QRect(typingBox_->mapToGlobal(QPoint(0, 0)), typingBox_->size());
  QScreen* screen = this->screen();
  const QRect room = screen ? screen->availableGeometry() : QRect(box.topLeft(), QSize(1 << 20, 1 << 20));
  QRect place = popup->geometry();
  place.moveLeft(qBound(room.left(), box.left(), qMax(room.left(), room.right() + 1 - place.width())));
  const int below = room.bottom() + 1 - (box.bottom() + 1);
  const int above = box.top() - room.top();
  if (place.height() <= below || below >= above) {
    place.setHeight(qMin(place.height(), qMax(below, 1)));
    place.moveTop(box.bottom() + 1);
  } else {
    place.setHeight(qMin(place.height(), above));
    place.moveBottom(box.top() - 1);
  }
  popup->setGeometry(place);
}

void KeepTypingInBox(QComboBox* list, QLineEdit* box) {
  if (!list || !box) return;
  list->view()->installEventFilter(new TypingForwarder(box, list));
  if (auto* dropDown = dynamic_cast<DropDownList*>(list)) dropDown->SetTypingBox(box);
}

}  // namespace quillet
