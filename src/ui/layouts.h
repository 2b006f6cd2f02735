#pragma once
// The two windows as data: every control with its object name (the names the
// handlers use), kind, parent, position, size, initial state, texts, fonts,
// colours and the handler its event is bound to. Handlers find controls by
// object name, e.g.
//   window->findChild<QPushButton*>(QStringLiteral("超级按钮5"))
//
// Widget class per kind: flat button QPushButton, (transparent) label QLabel,
// group box QGroupBox, edit box QLineEdit (the log box QPlainTextEdit),
// drop-down list QComboBox, date picker QDateEdit, radio button QRadioButton,
// check box QCheckBox, list view QTreeWidget, grid QTableWidget (row 0 is the
// header row, Qt's own headers are hidden), tab control QTabWidget, picture
// box QLabel, plain panel QFrame, timer QTimer.
#include <QColor>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QWidget;
class QDialog;
class QObject;

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
  QString face{};       // empty: the default GUI face
  int pixelSize = 0;  // 0: the default size
  bool bold = false;
  QColor text{};        // invalid: the default colour
  QColor background{};  // invalid: the parent's background
};

enum class ControlEvent { None, Clicked, TextChanged, ItemSelected, LeftButtonDown, Tick, DoubleClicked };

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
  int interval = 0;                 // timers, milliseconds (0: stopped)
  int gridColumns = 0, gridRows = 0;
  ControlEvent event = ControlEvent::None;
  QString handler{};          // name of the handler the event is bound to
  int handlerArgument = 0;  // passed to the handler (captcha cell, station box, seat box)
};

const std::vector<ControlEntry>& MainWindowControls();
const std::vector<ControlEntry>& OrderDialogControls();

// Light blue of the flat buttons, and the grey of unbookable train rows.
QColor FlatButtonColour();
QColor UnbookableRowColour();

// Creates every control of the main window (all four tab pages) on `window`,
// sets the window's size, frame, title and background, and names it "MainWindow".
void BuildMainWindowLayout(QWidget* window);
// Creates every control of the order dialog on `dialog` (frameless, light
// grey, 417 x 366) and names it "OrderDialog".
void BuildOrderDialogLayout(QDialog* dialog);

// Moves a window to the middle of the primary screen's available area.
void CentreOnScreen(QWidget* window);

// Connects the event of every control that the window's layout binds to
// `handler` (e.g. u"OnLoginClicked", u"OnCaptchaCellPressed") to `slot`,
// which receives the binding's handlerArgument. `context` ends the
// connections when destroyed. Returns the number of controls bound (0 means
// the handler name is unknown to the layout).
int BindHandler(QWidget* window, const QString& handler, QObject* context, std::function<void(int)> slot);

}  // namespace quillet
