// Builds the windows from the control tables of layout_tables.cpp.
#include "ui/layouts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>

#include "ui/controls.h"
#include "ui/drop_down_list.h"
#include "ui/flat_button.h"
#include "ui/landscape.h"
#include "ui/layout_fonts.h"
#include "ui/page_texts.h"
#include "ui/wrapping_label.h"

namespace quillet {

namespace {

const char kTabPositionProperty[] = "quilletTabPosition";

// A tab control whose pages' controls are placed in tab-control coordinates,
// as the layout gives them: the page's own origin (below the tab strip,
// wherever the style puts it) is subtracted when the controls are placed.
class TabControl : public QTabWidget {
 public:
  using QTabWidget::QTabWidget;

  void PlacePageControls() {
    const QPoint origin = PageOrigin();
    for (int i = 0; i < count(); ++i) {
      for (QObject* child : widget(i)->children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (!control) continue;
        const QVariant position = control->property(kTabPositionProperty);
        if (position.isValid()) control->move(position.toPoint() - origin);
      }
    }
  }

 protected:
  void showEvent(QShowEvent* event) override {
    QTabWidget::showEvent(event);
    PlacePageControls();
  }
  void resizeEvent(QResizeEvent* event) override {
    QTabWidget::resizeEvent(event);
    PlacePageControls();
  }

 private:
  QPoint PageOrigin() const {
    // Once laid out, the pages sit where the style put them; before that,
    // ask the style where it will put them.
    if (isVisible() && count() > 0) return widget(0)->mapTo(this, QPoint(0, 0));
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this).topLeft();
  }
};

// Keeps Esc from closing a dialog.
class EscapeSwallower : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) return true;
    return QObject::eventFilter(watched, event);
  }
};

// Light blue text on the window background; swapped while the pointer is over it.
QString FlatButtonStyle(const QColor& background) {
  const QString blue = FlatButtonColour().name();
  const QString back = background.name();
  return QStringLiteral(
             "QPushButton { color: %1; background-color: transparent; border: none; }"
             "QPushButton:hover { color: %2; background-color: %1; }"
             "QPushButton:disabled { color: #a0a0a0; background-color: transparent; }")
      .arg(blue, back);
}

void ApplyLook(QWidget* widget, const ControlLook& look) {
  if (!look.face.isEmpty() || look.pixelSize > 0 || look.bold) {
    QFont font = widget->font();
    if (!look.face.isEmpty()) font.setFamilies(WithCjkFallback({look.face}));
    if (look.pixelSize > 0) font.setPixelSize(look.pixelSize);
    if (look.bold) font.setWeight(QFont::Bold);
    widget->setFont(font);
  }
  if (look.text.isValid() || look.background.isValid()) {
    QPalette palette = widget->palette();
    if (look.text.isValid()) {
      palette.setColor(QPalette::WindowText, look.text);
      palette.setColor(QPalette::Text, look.text);
      palette.setColor(QPalette::ButtonText, look.text);
    }
    if (look.background.isValid()) {
      palette.setColor(QPalette::Window, look.background);
      palette.setColor(QPalette::Base, look.background);
      widget->setAutoFillBackground(true);
    }
    widget->setPalette(palette);
  }
}

void SetUpListView(QTreeWidget* list, const std::vector<ColumnSpec>& columns) {
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setColumnCount(static_cast<int>(columns.size()));
  QStringList titles;
  for (const ColumnSpec& column : columns) titles << column.title;
  list->setHeaderLabels(titles);
  list->header()->setStretchLastSection(false);
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    list->setColumnWidth(i, columns[static_cast<size_t>(i)].width);
    const bool left = i == 0 || columns[static_cast<size_t>(i)].leftAligned;
    list->headerItem()->setTextAlignment(i, (left ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
  }
}

void SetUpGrid(QTableWidget* grid, int columns, int rows) {
  grid->setColumnCount(columns);
  grid->setRowCount(rows);
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  // Ten of the fourteen columns keep this width: wide enough for a station
  // name of three characters and for the whole grid to fit without scrolling.
  grid->horizontalHeader()->setDefaultSectionSize(47);
  grid->horizontalHeader()->setMinimumSectionSize(10);
  grid->verticalHeader()->setMinimumSectionSize(10);
  grid->setWordWrap(true);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
}

// created: the moment the window is built, held by every date picker (the
// travel date starts equal to the reference date, time of day included).
QWidget* CreateWidget(const ControlEntry& entry, QWidget* parent, const QColor& windowBackground,
                      const QDateTime& created) {
  switch (entry.kind) {
    case ControlKind::FlatButton: {
      auto* button = new FlatButton(entry.text, parent);
      button->setStyleSheet(FlatButtonStyle(windowBackground));
      button->setCursor(Qt::PointingHandCursor);
      return button;
    }
    case ControlKind::TransparentLabel:
    case ControlKind::Label: {
      auto* label = new WrappingLabel(entry.text, parent);
      if (entry.flags & kCentredText) label->setAlignment(Qt::AlignCenter);
      return label;
    }
    case ControlKind::GroupBox: {
      auto* group = new QGroupBox(entry.text, parent);
      if (entry.look.text.isValid()) {
        group->setStyleSheet(QStringLiteral("QGroupBox::title { color: %1; }").arg(entry.look.text.name()));
      }
      return group;
    }
    case ControlKind::EditBox: {
      auto* edit = new QLineEdit(entry.text, parent);
      if (entry.flags & kCentredText) edit->setAlignment(Qt::AlignCenter);
      if (entry.flags & kPassword) {
        edit->setEchoMode(QLineEdit::Password);
        edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
      }
      return edit;
    }
    case ControlKind::LogBox: {
      auto* log = new QPlainTextEdit(parent);
      log->setReadOnly(true);
      log->setFrameShape(QFrame::NoFrame);
      log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      return log;
    }
    case ControlKind::DropDown: {
      auto* combo = new DropDownList(parent);
      combo->setEditable(false);
      combo->addItems(entry.items);
      combo->setCurrentIndex(-1);
      return combo;
    }
    case ControlKind::DatePicker: {
      auto* date = new QDateEdit(parent);
      date->setCalendarPopup(true);
      date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
      date->setDateTime(created);
      return date;
    }
    case ControlKind::RadioButton: {
      auto* radio = new QRadioButton(entry.text, parent);
      radio->setChecked(entry.flags & kChecked);
      return radio;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(entry.text, parent);
      box->setChecked(entry.flags & kChecked);
      return box;
    }
    case ControlKind::ListView: {
      auto* list = new QTreeWidget(parent);
      SetUpListView(list, entry.columns);
      // A list placed partly left of its parent (the passenger list lies 7 px
      // out of its group) would lose that strip, the start of its first
      // column: its content starts where the parent begins.
      if (entry.geometry.x() < 0) {
        list->setStyleSheet(QStringLiteral("QTreeView { margin-left: %1px; }").arg(-entry.geometry.x()));
      }
      return list;
    }
    case ControlKind::Grid: {
      auto* grid = new QTableWidget(parent);
      SetUpGrid(grid, entry.gridColumns, entry.gridRows);
      return grid;
    }
    case ControlKind::TabControl: {
      auto* tabs = new TabControl(parent);
      if (entry.look.pixelSize > 0) {
        QFont font = tabs->tabBar()->font();
        font.setPixelSize(entry.look.pixelSize);
        font.setWeight(entry.look.bold ? QFont::Bold : QFont::Normal);
        tabs->tabBar()->setFont(font);
      }
      return tabs;
    }
    case ControlKind::TabPage: {
      auto* tabs = static_cast<QTabWidget*>(parent);
      auto* page = new QWidget;
      const int index = tabs->addTab(page, entry.text);
      tabs->setTabToolTip(index, entry.hint);
      return page;
    }
    case ControlKind::PictureBox: {
      auto* picture = new QLabel(parent);
      picture->setScaledContents(true);
      return picture;
    }
    case ControlKind::Panel: {
      auto* panel = new QFrame(parent);
      panel->setFrameShape(QFrame::NoFrame);
      return panel;
    }
    case ControlKind::Timer:
      return nullptr;
  }
  return nullptr;
}

// The moment now in China Standard Time (UTC+8), as the date and time the
// pickers show: the service's today, not the machine's.
QDateTime ChinaNow() {
  const QDateTime china = QDateTime::currentDateTimeUtc().addSecs(8 * 3600);
  return QDateTime(china.date(), china.time());
}

void BuildControls(QWidget* window, const std::vector<ControlEntry>& entries, const QColor& windowBackground,
                   const QDate& today = {}) {
  QDateTime created = ChinaNow();
  if (today.isValid()) created.setDate(today);
  QHash<QString, QWidget*> built;
  QHash<QString, ControlKind> kinds;
  std::vector<TabControl*> tabControls;
  for (const ControlEntry& entry : entries) {
    if (entry.kind == ControlKind::Timer) {
      auto* timer = new QTimer(window);
      timer->setObjectName(entry.name);
      timer->setInterval(entry.interval);
      if (entry.flags & kRunning) timer->start();
      continue;
    }
    QWidget* parent = entry.parent.isEmpty() ? window : built.value(entry.parent);
    Q_ASSERT_X(parent, "BuildControls", "a parent must come before its controls");
    if (!parent) continue;
    QWidget* widget = CreateWidget(entry, parent, windowBackground, created);
    widget->setObjectName(entry.name);
    built.insert(entry.name, widget);
    kinds.insert(entry.name, entry.kind);
    if (entry.kind == ControlKind::TabControl) tabControls.push_back(static_cast<TabControl*>(widget));
    if (entry.kind == ControlKind::TabPage) continue;

    // The tab control's look is that of its page captions, set as it was created.
    if (entry.kind != ControlKind::TabControl) ApplyLook(widget, entry.look);
    widget->resize(entry.geometry.size());
    if (!entry.parent.isEmpty() && kinds.value(entry.parent) == ControlKind::TabPage) {
      // A control of a tab page: its position is given relative to the tab control.
      widget->setProperty(kTabPositionProperty, entry.geometry.topLeft());
    } else {
      widget->move(entry.geometry.topLeft());
    }
    if (entry.flags & kDisabled) widget->setEnabled(false);
    if (entry.flags & kHidden) widget->hide();
  }
  for (TabControl* tabs : tabControls) tabs->PlacePageControls();
}

}  // namespace

void CentreOnScreen(QWidget* window) {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    window->move(screen->availableGeometry().center() - window->rect().center());
  }
}

void BuildMainWindowLayout(QWidget* window, const QDate& today) {
  window->setObjectName(QStringLiteral("MainWindow"));
  window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  window->setFixedSize(992, 542);
  window->setWindowTitle(page_texts::ProgramTitle());
  UseLayoutFaces();
  window->setFont(DefaultLayoutFont());
  QPalette palette = window->palette();
  palette.setColor(QPalette::Window, Qt::white);
  window->setPalette(palette);
  window->setAutoFillBackground(true);

  BuildControls(window, MainWindowLayout(), Qt::white, today);
  // Each station box lies over its list's edit part: typing goes on into the
  // box while the list is open.
  for (const auto& [boxName, listName] : {std::pair{u"编辑框3", u"组合框1"}, std::pair{u"编辑框4", u"组合框2"}}) {
    KeepTypingInBox(FindControl<QComboBox>(window, QString::fromUtf16(listName)),
                    FindControl<QLineEdit>(window, QString::fromUtf16(boxName)));
  }
  ShowPictureBytes(window->findChild<QLabel*>(QStringLiteral(u"图片框2")), LandscapeJpeg());
  CentreOnScreen(window);
}

void BuildOrderDialogLayout(QDialog* dialog) {
  dialog->setObjectName(QStringLiteral("OrderDialog"));
  dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  dialog->setWindowTitle(QString());
  dialog->setFixedSize(417, 366);
  dialog->setModal(true);
  UseLayoutFaces();
  dialog->setFont(DefaultLayoutFont());
  const QColor lightGrey(192, 192, 192);
  QPalette palette = dialog->palette();
  palette.setColor(QPalette::Window, lightGrey);
  dialog->setPalette(palette);
  dialog->setAutoFillBackground(true);

  BuildControls(dialog, OrderDialogLayout(), lightGrey);
  // Only its two buttons close the dialog: Enter presses neither, Esc does nothing.
  for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  dialog->installEventFilter(new EscapeSwallower(dialog));
  CentreOnScreen(dialog);
}

}  // namespace quillet
