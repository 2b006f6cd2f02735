#include "notify/texts.h"

#include "util/codepage.h"

namespace quillet::notify_texts {

const std::string& BookedSummary() {
  static const std::string text = Gbk(u8"订票成功，请尽快付款");
  return text;
}

const std::string& ManualCheckSummary() {
  static const std::string text = Gbk(u8"请手动查看购票结果");
  return text;
}

const std::string& SessionLapsedSummary() {
  static const std::string text = Gbk(u8"登录已失效，请重新登录");
  return text;
}
const std::string& ThrottledSummary() {
  static const std::string text = Gbk(u8"查询被服务限流超过一分钟，已放慢查询");
  return text;
}

const std::string& AccountPart() {
  static const std::string text = Gbk(u8"账号：");
  return text;
}

const std::string& OrderIdPart() {
  static const std::string text = Gbk(u8"订单号：");
  return text;
}

const std::string& ScanQrPart() {
  static const std::string text = Gbk(u8"用铁路12306手机应用扫码并确认：");
  return text;
}
const std::string& SignInPagePart() {
  static const std::string text = Gbk(u8"在网页上重新登录：");
  return text;
}
const std::string& PayByPart() {
  static const std::string text = Gbk(u8"付款截止：");
  return text;
}

const std::string& ListSeparator() {
  static const std::string text = Gbk(u8"、");
  return text;
}

const std::string& ReportPrefix() {
  static const std::string text = Gbk(u8"通知 ");
  return text;
}

const std::string& DeliveredSuffix() {
  static const std::string text = Gbk(u8"已送达");
  return text;
}

const std::string& FailedSuffix() {
  static const std::string text = Gbk(u8"失败：");
  return text;
}

const std::string& HttpStatusPrefix() {
  static const std::string text = Gbk(u8"HTTP 状态 ");
  return text;
}

const std::string& NoAnswer() {
  static const std::string text = Gbk(u8"无法连接或没有应答");
  return text;
}

const std::string& TriesPrefix() {
  static const std::string text = Gbk(u8"，共试 ");
  return text;
}

const std::string& TriesSuffix() {
  static const std::string text = Gbk(u8" 次");
  return text;
}

const std::string& CannotStart() {
  static const std::string text = Gbk(u8"无法启动：");
  return text;
}

const std::string& ExitStatusPrefix() {
  static const std::string text = Gbk(u8"退出码 ");
  return text;
}

const std::string& KilledBySignal() {
  static const std::string text = Gbk(u8"被信号终止：");
  return text;
}

const std::string& TimedOut() {
  static const std::string text = Gbk(u8"超时，已终止");
  return text;
}

const std::string& NoSessionBus() {
  static const std::string text = Gbk(u8"没有会话总线，桌面通知不可用");
  return text;
}

const std::string& NoNotificationService() {
  static const std::string text = Gbk(u8"没有桌面通知服务");
  return text;
}

const std::string& NoSound() {
  static const std::string text = Gbk(u8"无法播放提示音：");
  return text;
}

}  // namespace quillet::notify_texts
