#pragma once
// Fixed texts of the sign-in area and the query page, in Qt's encoding.
#include <QString>
#include <utility>

namespace quillet::page_texts {

// The window title at creation.
inline QString ProgramTitle() { return QStringLiteral(u"Quillet 当前版本：V1.0"); }
// The clock title: the program title followed by eleven spaces, then the time.
inline QString ClockTitlePrefix() { return ProgramTitle() + QStringLiteral("           "); }

// "2016年3月5日9时30分7秒": numbers without leading zeros; the time stops at
// the last unit that is not zero (no time at all at midnight exactly).
inline QString ClockDateTimeText(int year, int month, int day, int hour, int minute, int second) {
  QString text = QString::number(year) + QStringLiteral(u"年") + QString::number(month) + QStringLiteral(u"月") +
                 QString::number(day) + QStringLiteral(u"日");
  if (hour == 0 && minute == 0 && second == 0) return text;
  text += QString::number(hour) + QStringLiteral(u"时");
  if (minute == 0 && second == 0) return text;
  text += QString::number(minute) + QStringLiteral(u"分");
  if (second == 0) return text;
  return text + QString::number(second) + QStringLiteral(u"秒");
}

inline QString EnterAccount() { return QStringLiteral(u"请输入帐号密码！"); }
inline QString PickCaptcha() { return QStringLiteral(u"请选择验证码！"); }
inline QString CaptchaRetry() { return QStringLiteral(u"验证码错误!请重新输入"); }
inline QString CellMark() { return QStringLiteral(u"√"); }

inline QString Welcome() { return QStringLiteral(u"欢迎使用本软件，请多提意见！\r\n"); }
inline QString DateBeforeToday() { return QStringLiteral(u"出发时间不能早于今天！"); }
inline QString PickStations() { return QStringLiteral(u"请选择站点"); }
inline QString Querying() { return QStringLiteral(u"余票查询中！请稍候....."); }
inline QString QueryResult() { return QStringLiteral(u"查询结果"); }
inline QString QueryFailed() { return QStringLiteral(u"查询失败"); }  // when the service gives no reason
inline QString Bookable() { return QStringLiteral(u"√"); }
inline QString NotBookable() { return QStringLiteral(u"×"); }
// "出发日期:" + date + "  " + from + "->" + to + "(共查询到" + n + "趟列车)"
inline QString QuerySummary(const QString& date, const QString& from, const QString& to, int trains) {
  return QStringLiteral(u"出发日期:") + date + QStringLiteral(u"  ") + from + QStringLiteral(u"->") + to +
         QStringLiteral(u"(共查询到") + QString::number(trains) + QStringLiteral(u"趟列车)");
}
// Titles of the train grid's columns other than the seat columns, which take
// their seat type's name.
inline QString GridHeader(int column) {
  static const std::pair<int, const char16_t*> kTitles[] = {{0, u"车次"}, {1, u"出发站"}, {2, u"到达站"},
                                                            {3, u"用时"}, {12, u"其他"},  {13, u"能否购票"}};
  for (const auto& [at, title] : kTitles) {
    if (at == column) return QString::fromUtf16(title);
  }
  return {};
}

}  // namespace quillet::page_texts
