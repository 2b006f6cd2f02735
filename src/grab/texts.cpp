#include "grab/texts.h"

#include "util/codepage.h"

namespace quillet::grab_texts {

const std::string& Success() {
  static const std::string text = Gbk(u8"成功");
  return text;
}
const std::string& CheckUserFailed() {
  static const std::string text = Gbk(u8"核查用户失败");
  return text;
}
const std::string& SubmitOrderFailedPrefix() {
  static const std::string text = Gbk(u8"提交订单请求失败!失败原因:");
  return text;
}
const std::string& InitDcFailed() {
  static const std::string text = Gbk(u8"初始化信息失败!");
  return text;
}
const std::string& CheckOrderInfoFailedPrefix() {
  static const std::string text = Gbk(u8"检查订单信息失败!失败原因:");
  return text;
}
const std::string& QueueCountFailedPrefix() {
  static const std::string text = Gbk(u8"获取队列数量失败!失败原因:");
  return text;
}
const std::string& ConfirmQueueFailedPrefix() {
  static const std::string text = Gbk(u8"确认进入队列失败!失败原因:");
  return text;
}
const std::string& ConfirmNotNoted() {
  static const std::string text = Gbk(u8"未能记下本次确认,未提交");
  return text;
}
const std::string& WaitTimeFailed() {
  static const std::string text = Gbk(u8"确认订单等待时间失败,请手动查看购票结果!");
  return text;
}
const std::string& ResultFailed() {
  static const std::string text = Gbk(u8"获取单程队列订单结果失败,请手动查看购票结果!");
  return text;
}
const std::string& ChainStopped() {
  static const std::string text = Gbk(u8"已停止抢票,未提交订单");
  return text;
}
const std::string& ConfirmAnswerLost() {
  static const std::string text = Gbk(u8"确认进入队列未得应答,请手动查看购票结果!");
  return text;
}
const std::string& AccountOrderInDoubt() {
  static const std::string text = Gbk(u8"本账号另有订单结果未明,请手动查看购票结果!");
  return text;
}
const std::string& NoTickets() {
  static const std::string text = Gbk(u8"无");
  return text;
}
const std::string& PlentyOfTickets() {
  static const std::string text = Gbk(u8"有");
  return text;
}
const std::string& NotOnSaleYet() {
  static const std::string text = "*";
  return text;
}
const std::string& BusinessSeat() {
  static const std::string text = Gbk(u8"商务座");
  return text;
}
const std::string& DeluxeEmuSleeper() {
  static const std::string text = Gbk(u8"高级动卧");
  return text;
}
const std::string& EmuSleeper() {
  static const std::string text = Gbk(u8"动卧");
  return text;
}
const std::string& DeluxeSoftSleeper() {
  static const std::string text = Gbk(u8"高级软卧");
  return text;
}
const std::string& FirstClassSeat() {
  static const std::string text = Gbk(u8"一等座");
  return text;
}
const std::string& SecondClassSeat() {
  static const std::string text = Gbk(u8"二等座");
  return text;
}
const std::string& SoftSleeper() {
  static const std::string text = Gbk(u8"软卧");
  return text;
}
const std::string& HardSleeper() {
  static const std::string text = Gbk(u8"硬卧");
  return text;
}
const std::string& SoftSeat() {
  static const std::string text = Gbk(u8"软座");
  return text;
}
const std::string& HardSeat() {
  static const std::string text = Gbk(u8"硬座");
  return text;
}
const std::string& NoSeat() {
  static const std::string text = Gbk(u8"无座");
  return text;
}
const std::string& AdultTicket() {
  static const std::string text = Gbk(u8"成人票");
  return text;
}
const std::string& ChildTicket() {
  static const std::string text = Gbk(u8"儿童票");
  return text;
}
const std::string& StudentTicket() {
  static const std::string text = Gbk(u8"学生票");
  return text;
}
const std::string& DisabledArmyTicket() {
  static const std::string text = Gbk(u8"残军票");
  return text;
}
}  // namespace quillet::grab_texts
