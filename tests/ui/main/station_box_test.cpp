// The station boxes of the query page and their drop-down suggestions, typed
// as the user types: through the window, wherever the keyboard is.
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "window_fixture.h"

namespace quillet::test {
namespace {

class StationBoxTest : public WindowTest {
 protected:
  void SetUp() override { OpenActive(); }
  void Press(Qt::Key key) {
    QTest::keyClick(window_->windowHandle(), key);
    QCoreApplication::processEvents();
  }
  static QStringList Entries(QComboBox* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
    return entries;
  }
};

TEST_F(StationBoxTest, TypingOffersStationsAndPickingWritesTheEntryBack) {
  auto* box = Control<QLineEdit>(QStringLiteral(u"编辑框3"));
  auto* list = Control<QComboBox>(QStringLiteral(u"组合框1"));
  box->setFocus();
  Type(QStringLiteral("bj"));

  EXPECT_EQ(box->text(), QStringLiteral("bj"));
  ASSERT_EQ(list->count(), 17);
  EXPECT_EQ(Entries(list).mid(0, 5),
            (QStringList{QStringLiteral(u"北京北|VAP"), QStringLiteral(u"北京东|BOP"), QStringLiteral(u"北京|BJP"),
                         QStringLiteral(u"北京南|VNP"), QStringLiteral(u"北京西|BXP")}));
  EXPECT_TRUE(list->view()->isVisible());

  Press(Qt::Key_Down);
  Press(Qt::Key_Return);
  const QString picked = list->currentText();
  EXPECT_TRUE(picked.contains(QLatin1Char('|')));
  EXPECT_EQ(box->text(), picked);
  EXPECT_EQ(list->count(), 17);  // the list keeps its entries
  EXPECT_FALSE(list->view()->isVisible());
}

TEST_F(StationBoxTest, TypingGoesOnIntoTheBoxWhileTheListIsOpen) {
  auto* box = Control<QLineEdit>(QStringLiteral(u"编辑框4"));
  auto* list = Control<QComboBox>(QStringLiteral(u"组合框2"));
  box->setFocus();
  Type(QStringLiteral("be"));
  ASSERT_TRUE(list->view()->isVisible());
  Type(QStringLiteral("ijing"));  // the popup holds the keyboard now
  EXPECT_EQ(box->text(), QStringLiteral("beijing"));
  ASSERT_EQ(list->count(), 6);
  EXPECT_EQ(list->itemText(5), QStringLiteral(u"北井子|BRT"));
  Press(Qt::Key_Backspace);
  EXPECT_EQ(box->text(), QStringLiteral("beijin"));
}

TEST_F(StationBoxTest, ChineseNamesAndOtherBoxTexts) {
  auto* box = Control<QLineEdit>(QStringLiteral(u"编辑框3"));
  auto* list = Control<QComboBox>(QStringLiteral(u"组合框1"));
  struct Case {
    QString text;
    QStringList entries;
  };
  const Case cases[] = {
      {QStringLiteral(u"上海"),
       {QStringLiteral(u"上海|SHH"), QStringLiteral(u"上海南|SNH"), QStringLiteral(u"上海虹桥|AOH"),
        QStringLiteral(u"上海西|SXH")}},
      {QStringLiteral("b"), {}},     // one letter finds nothing and empties the list
      {QStringLiteral("shhq"), {}},  // abbreviations are not searched
  };
  for (const Case& c : cases) {
    box->setText(c.text);
    EXPECT_EQ(Entries(list), c.entries) << c.text.toStdString();
  }
  // An emptied box leaves the list as it was.
  box->setText(QStringLiteral(u"上海"));
  box->clear();
  EXPECT_EQ(list->count(), 4);
  // A picked entry keeps the list and adds nothing.
  list->hidePopup();
  box->setText(QStringLiteral(u"上海南|SNH"));
  EXPECT_EQ(list->count(), 4);
}

}  // namespace
}  // namespace quillet::test
