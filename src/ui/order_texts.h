#pragma once
// Fixed texts of the purchase page, the order dialog and the order pages.
#include <QString>
#include <string>

#include "util/codepage.h"

namespace quillet::order_texts {

inline QString SignInFirst() { return QStringLiteral(u"请先登录12306帐号！"); }

// The order file's name in the user's desktop folder.
inline QString OrderFileName() { return QStringLiteral(u"1.txt"); }
// Order row texts (program text).
inline const std::string& CanCancel() {
  static const std::string text = Gbk(u8"可以");
  return text;
}
inline const std::string& Coach() {
  static const std::string text = Gbk(u8"车");
  return text;
}
// The payment countdown: minutes and seconds left, or a stable text when the
// deadline cannot be read.
inline QString Countdown(long long minutes, long long seconds) {
  return QString::number(minutes) + QStringLiteral(u"分") + QString::number(seconds) + QStringLiteral(u"秒");
}
inline QString CountdownUnknown() { return QStringLiteral(u"--分--秒"); }

}  // namespace quillet::order_texts
