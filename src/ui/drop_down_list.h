#pragma once
// The drop-down lists of both windows. Their list opens below the box (above
// it only when the screen has no room below), also when it has no entries;
// a station list can pass what the user types, keys and input-method text
// alike, on to the edit box that lies over it.
#include <QComboBox>

class QLineEdit;

namespace quillet {

class DropDownList : public QComboBox {
 public:
  explicit DropDownList(QWidget* parent = nullptr);

  void showPopup() override;
  // The edit box that lies over the list's edit part; the list opens below both.
  void SetTypingBox(QLineEdit* box) { typingBox_ = box; }

 private:
  void ShowEmptyPopup();
  void PlacePopupBelow();

  QLineEdit* typingBox_ = nullptr;
};

// While `list`'s drop-down is open it holds the keyboard: text-editing keys
// and input-method events (preedit and commit, and the input method's queries
// about where the text is) go on to `box`; the keys that move through the
// list or pick from it stay with the list.
void KeepTypingInBox(QComboBox* list, QLineEdit* box);

}  // namespace quillet
