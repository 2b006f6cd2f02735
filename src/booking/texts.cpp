#include "booking/texts.h"

#include "util/codepage.h"

namespace quillet::booking_texts {

const std::string& Success() {
  static const std::string text = Gbk(u8"成功");
  return text;
}
const std::string& CaptchaWrong() {
  static const std::string text = Gbk(u8"验证码错误");
  return text;
}
const std::string& CheckUserFailed() {
  static const std::string text = Gbk(u8"核查用户失败");
  return text;
}
const std::string& Failed() {
  static const std::string text = Gbk(u8"失败");
  return text;
}
const std::string& QueueCountFailed() {
  static const std::string text = Gbk(u8"获取队列数量失败");
  return text;
}
const std::string& QueueLongerThanStock() {
  static const std::string text = Gbk(u8"当前排队人数大于剩余票数!");
  return text;
}
const std::string& UnknownError() {
  static const std::string text = Gbk(u8"未知错误!");
  return text;
}
const std::string& NoValidAnswer() {
  static const std::string text = Gbk(u8"服务无有效应答");
  return text;
}

const std::string& SignInNotConfirmed() {
  static const std::string text = Gbk(u8"登录未被确认");
  return text;
}
const std::string& TryLaterMarker() {
  static const std::string text = Gbk(u8"稍后重试");
  return text;
}
const std::string& NotSignedIn() {
  static const std::string text = Gbk(u8"用户未登录");
  return text;
}
const std::string& ClosedHoursMarker() {
  static const std::string text = Gbk(u8"系统维护时间");
  return text;
}
const std::string& UnpaidOrderPending() {
  static const std::string text = Gbk(u8"您还有未处理的订单");
  return text;
}
const std::string& LowerBerth() {
  static const std::string text = Gbk(u8"下铺");
  return text;
}
const std::string& MiddleBerth() {
  static const std::string text = Gbk(u8"中铺");
  return text;
}
const std::string& UpperBerth() {
  static const std::string text = Gbk(u8"上铺");
  return text;
}

const std::string& QueryPathEmpty() {
  static const std::string text = Gbk(u8"查询路径为空");
  return text;
}
const std::string& QueryPathTooLong() {
  static const std::string text = Gbk(u8"查询路径超过64字节");
  return text;
}
const std::string& QueryPathBadCharacters() {
  static const std::string text = Gbk(u8"查询路径含有不允许的字符");
  return text;
}
const std::string& QueryPathNotUnderService() {
  static const std::string text = Gbk(u8"查询路径不在本服务之下");
  return text;
}
const std::string& QueryPathMovesAgain() {
  static const std::string text = Gbk(u8"查询路径一再变更");
  return text;
}

}  // namespace quillet::booking_texts
