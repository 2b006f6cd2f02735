// What depends on the window system: where the station lists open, typing
// Chinese through an input method while a list is open, the order dialog's
// keys and place, and the faces every fixed text is drawn with. Run on the
// offscreen platform and on a real X server, under two locales.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QTest>
#include <QTextLayout>
#include <QTreeWidget>
#include <memory>

#include "../main/window_fixture.h"
#include "ui/order_dialog.h"
#include "ui/qt_session_view.h"
#include "util/codepage.h"

namespace quillet::test {
namespace {

QString U(const char16_t* text) { return QString::fromUtf16(text); }

QRect GlobalRect(const QWidget* widget) { return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()); }

QWidget* Popup(QComboBox* list) { return list->view()->parentWidget(); }

class WindowSystemTest : public WindowTest {
 protected:
  void SetUp() override { OpenActive(); }
  // Input-method text as the platform delivers it: to the object holding the keyboard.
  static void InputMethod(const QString& preedit, const QString& commit) {
    QInputMethodEvent event(preedit, {});
    event.setCommitString(commit);
    QObject* target = QGuiApplication::focusObject();
    ASSERT_NE(target, nullptr);
    QCoreApplication::sendEvent(target, &event);
    QCoreApplication::processEvents();
  }
  // Opens the order dialog without blocking; the caller closes it.
  std::unique_ptr<OrderDialog> ShowDialog() {
    auto dialog = std::make_unique<OrderDialog>(window_->Controls(), *session_);
    dialog->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    dialog->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    return dialog;
  }
  void ExpectOpensBelow(QComboBox* list, const QRect& box) {
    SCOPED_TRACE(list->objectName().toStdString());
    ASSERT_TRUE(WaitFor([&] { return Popup(list)->isVisible(); }, 2000));
    const QRect popup = Popup(list)->geometry();
    EXPECT_GE(popup.top(), box.bottom() + 1) << "popup top " << popup.top() << ", box bottom " << box.bottom();
    EXPECT_FALSE(popup.intersects(box));
    EXPECT_GT(popup.height(), 0);
  }
};

TEST_F(WindowSystemTest, StationListsOpenBelowTheirBoxAlsoWhenEmpty) {
  const std::pair<const char16_t*, const char16_t*> stations[] = {{u"编辑框3", u"组合框1"}, {u"编辑框4", u"组合框2"}};
  for (const auto& [boxName, listName] : stations) {
    auto* box = Control<QLineEdit>(boxName);
    auto* list = Control<QComboBox>(listName);
    box->setFocus();
    Type(QStringLiteral("bj"));
    EXPECT_EQ(box->text(), QStringLiteral("bj"));
    ASSERT_EQ(list->count(), 17);
    ExpectOpensBelow(list, GlobalRect(box).united(GlobalRect(list)));
    QTest::keyClick(window_->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([&] { return !Popup(list)->isVisible(); }, 2000));

    // One letter finds nothing: the emptied list opens all the same.
    box->clear();
    box->setFocus();
    Type(QStringLiteral("b"));
    EXPECT_EQ(list->count(), 0);
    ExpectOpensBelow(list, GlobalRect(box).united(GlobalRect(list)));
    list->hidePopup();
  }
}

TEST_F(WindowSystemTest, StationListOpensAboveWhenTheScreenHasNoRoomBelow) {
  auto* box = Control<QLineEdit>(u"编辑框3");
  auto* list = Control<QComboBox>(u"组合框1");
  const QRect screen = window_->screen()->availableGeometry();
  // Put the station box 30 pixels above the screen's bottom edge.
  window_->move(window_->pos() + QPoint(0, screen.bottom() - 30 - GlobalRect(list).bottom()));
  ASSERT_TRUE(WaitFor([&] { return GlobalRect(list).bottom() >= screen.bottom() - 40; }, 2000));
  box->setFocus();
  Type(QStringLiteral("sh"));
  ASSERT_GT(list->count(), 100);
  ASSERT_TRUE(WaitFor([&] { return Popup(list)->isVisible(); }, 2000));
  const QRect popup = Popup(list)->geometry();
  EXPECT_LE(popup.bottom(), GlobalRect(box).top() - 1);
  EXPECT_GE(popup.top(), screen.top());
  list->hidePopup();
}

TEST_F(WindowSystemTest, InputMethodTextReachesTheBoxWhileTheListIsOpen) {
  auto* box = Control<QLineEdit>(u"编辑框3");
  auto* list = Control<QComboBox>(u"组合框1");
  box->setFocus();
  InputMethod({}, U(u"北"));
  EXPECT_EQ(box->text(), U(u"北"));
  ASSERT_TRUE(WaitFor([&] { return Popup(list)->isVisible(); }, 2000));
  const int entriesForOneCharacter = list->count();
  ASSERT_GT(entriesForOneCharacter, 5);

  // The input method asks whoever holds the keyboard whether it takes text.
  QInputMethodQueryEvent query(Qt::ImEnabled);
  QCoreApplication::sendEvent(QGuiApplication::focusObject(), &query);
  EXPECT_TRUE(query.value(Qt::ImEnabled).toBool());

  // Composing runs no filter; the committed character does.
  InputMethod(QStringLiteral("jing"), {});
  EXPECT_EQ(box->text(), U(u"北"));
  EXPECT_EQ(list->count(), entriesForOneCharacter);
  InputMethod({}, U(u"京"));
  EXPECT_EQ(box->text(), U(u"北京"));
  ASSERT_EQ(list->count(), 5);
  EXPECT_EQ(list->itemText(4), U(u"北京西|BXP"));
  EXPECT_TRUE(Popup(list)->isVisible());
  list->hidePopup();
}

TEST_F(WindowSystemTest, OrderDialogClosesOnlyFromItsButtonsAndIsCentredOnTheScreen) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  window_->move(screen.topLeft() + QPoint(5, 5));  // off-centre
  MessageBoxCatcher messages;
  auto dialog = ShowDialog();
  EXPECT_LE((dialog->frameGeometry().center() - screen.center()).manhattanLength(), 2);

  auto* back = FindControl<QPushButton>(dialog.get(), U(u"超级按钮1"));
  auto* confirm = FindControl<QPushButton>(dialog.get(), U(u"超级按钮2"));
  ASSERT_TRUE(back && confirm);
  for (QPushButton* button : {back, confirm, static_cast<QPushButton*>(nullptr)}) {
    SCOPED_TRACE(button ? button->text().toStdString() : "no button focused");
    if (button) button->setFocus();
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
      QTest::keyClick(dialog->windowHandle(), key);
      QTest::qWait(20);
      EXPECT_TRUE(dialog->isVisible()) << "key " << key;
    }
  }
  EXPECT_TRUE(messages.Texts().isEmpty());  // 确认 was not pressed either
  QTest::mouseClick(back, Qt::LeftButton);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(WindowSystemTest, OrderDialogListsOpenBelowTheirBox) {
  auto dialog = ShowDialog();
  for (const char16_t* name : {u"组合框1", u"组合框2", u"组合框3", u"组合框4"}) {
    auto* list = FindControl<QComboBox>(dialog.get(), U(name));
    ASSERT_NE(list, nullptr);
    list->setCurrentIndex(list->count() > 1 ? 1 : -1);  // Qt's own placement puts the current item over the box
    list->showPopup();
    ExpectOpensBelow(list, GlobalRect(list));
    list->hidePopup();
  }
  dialog->reject();
}

// --- faces and fixed texts ---------------------------------------------------

// Rows from the first to the last that the text's glyphs visibly darken.
int InkHeight(const QFont& font, const QString& text) {
  const QFontMetrics metrics(font);
  QImage image(metrics.horizontalAdvance(text) + 8, 3 * metrics.height(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(4, 2 * metrics.height(), text);
  painter.end();
  int first = -1, last = -1;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qGray(image.pixel(x, y)) < 200) {
        if (first < 0) first = y;
        last = y;
        break;
      }
    }
  }
  return first < 0 ? 0 : last - first + 1;
}

// The vertical room a text of `lines` lines needs: the ink of one line plus
// the line steps; lines step as little as one em when they would not fit
// otherwise (a 24-pixel label holds two lines of a 12-pixel face).
int NeededHeight(const QFont& font, const QStringList& lines, int height) {
  const QFontMetrics metrics(font);
  const int count = static_cast<int>(lines.size());
  int step = metrics.lineSpacing();
  if (count * step > height) step = qMin(step, QFontInfo(font).pixelSize());
  return (count - 1) * step + InkHeight(font, lines.join(QString()));
}

// Lines of `text` wrapped to `width` (anywhere, as Chinese text wraps); none
// when a single character is wider than `width`.
QStringList WrappedLines(const QFont& font, const QString& text, int width) {
  QTextLayout layout(text, font);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  QStringList lines;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    if (line.naturalTextWidth() > width) return {};
    lines << text.mid(line.textStart(), line.textLength());
  }
  layout.endLayout();
  return lines;
}

// Empty when the control shows its whole text, else what is cut.
QString CutText(QWidget* control) {
  QString text;
  QRect room;
  if (auto* asLabel = qobject_cast<QLabel*>(control)) {
    text = asLabel->text();
    room = asLabel->contentsRect();
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    text = button->text();
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = text;
    const QStyle::SubElement contents = qobject_cast<QCheckBox*>(button)      ? QStyle::SE_CheckBoxContents
                                        : qobject_cast<QRadioButton*>(button) ? QStyle::SE_RadioButtonContents
                                                                              : QStyle::SE_PushButtonContents;
    room = button->style()->subElementRect(contents, &option, button);
  }
  if (text.isEmpty()) return {};
  const QFont font = control->font();
  const QFontMetrics metrics(font);
  QStringList lines = text.split(QLatin1Char('\n'));
  bool wraps = false;
  for (const QString& line : lines) {
    if (metrics.horizontalAdvance(line) > room.width()) wraps = true;
  }
  if (wraps) {
    auto* asLabel = qobject_cast<QLabel*>(control);
    if (!asLabel || !asLabel->wordWrap()) return QStringLiteral("wider than %1 and does not wrap").arg(room.width());
    lines = WrappedLines(font, text, room.width());
    if (lines.isEmpty()) return QStringLiteral("a character is wider than %1").arg(room.width());
  }
  const int needed = NeededHeight(font, lines, room.height());
  if (needed > room.height()) {
    return QStringLiteral("%1 lines need %2 of %3 pixels").arg(lines.size()).arg(needed).arg(room.height());
  }
  return {};
}

void ExpectEveryTextShown(QWidget* window) {
  int walked = 0;
  for (QWidget* control : window->findChildren<QWidget*>()) {
    if (!qobject_cast<QLabel*>(control) && !qobject_cast<QAbstractButton*>(control)) continue;
    if (OwningWindow(control) != window || control->objectName().isEmpty()) continue;
    ++walked;
    const QString cut = CutText(control);
    EXPECT_TRUE(cut.isEmpty()) << control->objectName().toStdString() << ": " << cut.toStdString() << " (face "
                               << QFontInfo(control->font()).family().toStdString() << ")";
  }
  EXPECT_GT(walked, 20);
}

TEST_F(WindowSystemTest, EveryFixedTextShowsInFullInTheLayoutFace) {
  SCOPED_TRACE("LANG=" + qEnvironmentVariable("LANG").toStdString());
  const QFontInfo face(window_->font());
  EXPECT_EQ(face.family(), QStringLiteral("Noto Sans CJK SC"));
  EXPECT_EQ(face.pixelSize(), 12);
  ExpectEveryTextShown(window_.get());

  auto dialog = ShowDialog();
  EXPECT_EQ(QFontInfo(dialog->font()).family(), QStringLiteral("Noto Sans CJK SC"));
  ExpectEveryTextShown(dialog.get());
  dialog->reject();
}

// Dark pixels of a rendering on white.
int Ink(const QImage& image) {
  int ink = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ink += qGray(image.pixel(x, y)) < 160;
  }
  return ink;
}

QImage Render(QWidget* widget) {
  QImage image(widget->size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  widget->render(&image, {}, {}, QWidget::DrawChildren);
  return image;
}

// Nothing is clipped: as much ink as the same text with room to spare, and
// ink in every line's band.
void ExpectWholeTextDrawn(QWidget* control, int lines) {
  SCOPED_TRACE(control->objectName().toStdString());
  const QImage drawn = Render(control);
  const int band = control->height() / lines;
  int total = 0;
  for (int i = 0; i < lines; ++i) {
    const int ink = Ink(drawn.copy(0, i * band, control->width(), band));
    EXPECT_GT(ink, 20) << "line " << i;
    total += ink;
  }
  const QSize size = control->size();
  control->resize(400, 100);
  const int whole = Ink(Render(control));
  control->resize(size);
  EXPECT_GE(total, whole * 9 / 10) << "drawn " << total << ", with room " << whole;
}

TEST_F(WindowSystemTest, TextsOfSeveralLinesAreDrawnWithinTheirControl) {
  auto* query = Control<QPushButton>(u"超级按钮4");  // "车票\n查询", 19 px in 58 x 45
  ASSERT_EQ(query->size(), QSize(58, 45));
  query->setStyleSheet(QStringLiteral("QPushButton { color: black; border: none; }"));
  ExpectWholeTextDrawn(query, 2);

  auto dialog = ShowDialog();
  auto* label = FindControl<QLabel>(dialog.get(), U(u"透明标签14"));  // "仅限一、二等座", 49 x 24
  ASSERT_NE(label, nullptr);
  ASSERT_EQ(label->size(), QSize(49, 24));
  label->setStyleSheet(QStringLiteral("color: black"));
  ExpectWholeTextDrawn(label, 2);
  dialog->reject();
}

// A character the faces lack is drawn as the same box as an unassigned code
// point; one they have is not.
TEST_F(WindowSystemTest, RareCharactersOfNamesHaveGlyphs) {
  auto* passengers = Control<QTreeWidget>(u"超级列表框1");
  const auto glyph = [&](char32_t codePoint) {
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(passengers->font());
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, QString::fromUcs4(&codePoint, 1));
    return image;
  };
  // U+2FFFD is unassigned.
  const QImage missing = glyph(U'\U0002FFFD');
  for (char32_t rare : {U'\U00020BB7', U'\u9648', U'\u4E3F', U'\u4DAE'}) {  // 𠮷 陈 丿 䶮
    const QImage image = glyph(rare);
    EXPECT_GT(Ink(image), 0) << std::hex << static_cast<unsigned>(rare);
    EXPECT_NE(image, missing) << "U+" << std::hex << static_cast<unsigned>(rare) << " has no glyph";
  }
}

// The passenger list lies partly out of its group on the left; it starts at
// its left edge all the same: "序号" is whole, nothing is scrolled, also after
// the passengers are loaded and the first is selected.
TEST_F(WindowSystemTest, PassengerListStartsAtItsLeftEdge) {
  auto* list = Control<QTreeWidget>(u"超级列表框1");
  auto* group = Control<QGroupBox>(u"分组框1");
  const auto expectLeftEdgeShown = [&](const char* when) {
    SCOPED_TRACE(when);
    QCoreApplication::processEvents();
    EXPECT_EQ(list->horizontalScrollBar()->value(), 0);
    QHeaderView* header = list->header();
    const QPoint firstColumn = header->viewport()->mapTo(group, QPoint(header->sectionViewportPosition(0), 0));
    EXPECT_GE(firstColumn.x(), 0) << "the start of the first column is cut off by the group";
    EXPECT_GE(list->viewport()->mapTo(group, QPoint(0, 0)).x(), 0);
  };
  expectLeftEdgeShown("at start");
  QtSessionView view(window_->Controls(), [] { return SessionStatus{}; });
  PassengerRecord passenger;
  passenger.passenger_name = Gbk(u8"李雷");
  passenger.passenger_type = "1";
  passenger.passenger_type_name = Gbk(u8"成人");
  view.OnPassengersLoaded({passenger, passenger});
  ASSERT_TRUE(WaitFor([list] { return list->topLevelItemCount() == 2; }));
  EXPECT_EQ(list->currentItem(), list->topLevelItem(0));
  expectLeftEdgeShown("loaded");
}

}  // namespace
}  // namespace quillet::test
