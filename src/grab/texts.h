#pragma once
// The fixed texts of ticket grabbing, as program text (GBK).
#include <string>

namespace quillet::grab_texts {

const std::string& Success();  // 成功

// Results of the order chain.
const std::string& CheckUserFailed();             // 核查用户失败
const std::string& SubmitOrderFailedPrefix();     // 提交订单请求失败!失败原因:
const std::string& InitDcFailed();                // 初始化信息失败!
const std::string& CheckOrderInfoFailedPrefix();  // 检查订单信息失败!失败原因:
const std::string& QueueCountFailedPrefix();      // 获取队列数量失败!失败原因:
const std::string& ConfirmQueueFailedPrefix();    // 确认进入队列失败!失败原因:
const std::string& ConfirmNotNoted();             // 未能记下本次确认,未提交
const std::string& WaitTimeFailed();              // 确认订单等待时间失败,请手动查看购票结果!
const std::string& ResultFailed();                // 获取单程队列订单结果失败,请手动查看购票结果!
const std::string& ChainStopped();                // 已停止抢票,未提交订单
const std::string& ConfirmAnswerLost();           // 确认进入队列未得应答,请手动查看购票结果!
const std::string& AccountOrderInDoubt();         // 本账号另有订单结果未明,请手动查看购票结果!
// What the service's refusals say outside its daily hours.

// Remaining-ticket texts that mean "none left" ("--" is plain ASCII).
const std::string& NoTickets();        // 无
const std::string& PlentyOfTickets();  // 有: more tickets than the service counts
const std::string& NotOnSaleYet();     // * (plain ASCII): the class is not on sale yet

// Seat names.
const std::string& BusinessSeat();       // 商务座
const std::string& DeluxeEmuSleeper();   // 高级动卧
const std::string& EmuSleeper();         // 动卧
const std::string& DeluxeSoftSleeper();  // 高级软卧
const std::string& FirstClassSeat();     // 一等座
const std::string& SecondClassSeat();    // 二等座
const std::string& SoftSleeper();        // 软卧
const std::string& HardSleeper();        // 硬卧
const std::string& SoftSeat();           // 软座
const std::string& HardSeat();           // 硬座
const std::string& NoSeat();             // 无座

// Ticket type names.
const std::string& AdultTicket();         // 成人票
const std::string& ChildTicket();         // 儿童票
const std::string& StudentTicket();       // 学生票
const std::string& DisabledArmyTicket();  // 残军票

// Messages of the order dialog's confirm checks.

}  // namespace quillet::grab_texts
