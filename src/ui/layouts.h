#pragma once
// The two windows as data: every control with its object name, kind, parent,
// position, size, initial state, texts, fonts and colours. The handlers reach
// the controls through the typed pointers of ui/window_controls.h.
//
// Widget class per kind: flat button QPushButton, (transparent) label QLabel,
// group box QGroupBox, edit box QLineEdit (the log box QPlainTextEdit),
// drop-down list QComboBox, date picker QDateEdit, radio button QRadioButton,
// check box QCheckBox, list view QTreeWidget, grid QTableWidget (row 0 is the
// header row, Qt's own headers are hidden), tab control QTabWidget, picture
// box QLabel, plain panel QFrame, timer QTimer.
#include <QColor>
#include <QDate>
#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

class QWidget;
class QDialog;

namespace quillet {

enum class ControlKind {
  FlatButton,
  TransparentLabel,
  Label,
  GroupBox,
  EditBox,
  LogBox,  // the read-only multi-line log edit box
  DropDown,
  DatePicker,
  RadioButton,
  CheckBox,
  ListView,
  Grid,
  TabControl,
  TabPage,  // a page of the tab control; its controls are placed in tab-control coordinates
  PictureBox,
  Panel,
  Timer,
};

enum ControlFlag : unsigned {
  kHidden = 1u << 0,
  kDisabled = 1u << 1,
  kChecked = 1u << 2,
  kPassword = 1u << 3,
  kCentredText = 1u << 4,
  kRunning = 1u << 5,  // timers
};

struct ControlLook {
  QString face{};     // empty: the default GUI face
  int pixelSize = 0;  // 0: the default size
  bool bold = false;
  QColor text{};        // invalid: the default colour
  QColor background{};  // invalid: the parent's background
};

struct ColumnSpec {
  QString title{};
  int width = 0;
  bool leftAligned = false;  // the first column is always left-aligned, the others centred
};

struct ControlEntry {
  QString name{};
  ControlKind kind = ControlKind::TransparentLabel;
  QString parent{};  // empty: the window itself
  QRect geometry{};  // relative to the parent; controls of a tab page: relative to the tab control
  unsigned flags = 0;
  QString text{};  // caption, group title, page title, initial text
  ControlLook look{};
  std::vector<ColumnSpec> columns{};  // list views
  QStringList items{};                // fixed items of a drop-down list
  QString hint{};                     // tab page hint, shown as the tab's tool tip
  int interval = 0;                   // timers, milliseconds (0: stopped)
  int gridColumns = 0, gridRows = 0;
};

const std::vector<ControlEntry>& MainWindowLayout();
const std::vector<ControlEntry>& OrderDialogLayout();

// Light blue of the flat buttons, and the grey of unbookable train rows.
QColor FlatButtonColour();
QColor UnbookableRowColour();

// Creates every control of the main window (all four tab pages) on `window`,
// sets the window's size, frame, title and background, and names it "MainWindow".
// The date pickers start at `today` (the program's reference date), with the
// time of day in China; an invalid date means today in China Standard Time.
void BuildMainWindowLayout(QWidget* window, const QDate& today = {});
// Creates every control of the order dialog on `dialog` (frameless, light
// grey, 417 x 366) and names it "OrderDialog".
void BuildOrderDialogLayout(QDialog* dialog);

// Moves a window to the middle of the primary screen's available area.
void CentreOnScreen(QWidget* window);

}  // namespace quillet
