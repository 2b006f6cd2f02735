#pragma once
// The fixed texts of the booking client, as program text (GBK).
#include <string>

namespace quillet::booking_texts {

const std::string& Success();               // 成功
const std::string& CaptchaWrong();          // 验证码错误
const std::string& CheckUserFailed();       // 核查用户失败
const std::string& Failed();                // 失败
const std::string& QueueCountFailed();      // 获取队列数量失败
const std::string& QueueLongerThanStock();  // 当前排队人数大于剩余票数!
const std::string& UnknownError();          // 未知错误!
const std::string& NoValidAnswer();         // 服务无有效应答
const std::string& SignInNotConfirmed();    // 登录未被确认
// What the service's "busy, try again later" answers say.
const std::string& TryLaterMarker();  // 稍后重试
// Why the query path a redirect answer named is not followed.
const std::string& QueryPathEmpty();            // 查询路径为空
const std::string& QueryPathTooLong();          // 查询路径超过64字节
const std::string& QueryPathBadCharacters();    // 查询路径含有不允许的字符
const std::string& QueryPathNotUnderService();  // 查询路径不在本服务之下
const std::string& QueryPathMovesAgain();       // 查询路径一再变更
// The service's refusal of a request that needs a sign-in it no longer knows.
const std::string& NotSignedIn();  // 用户未登录
// The service's refusal of an order while the account holds an unpaid one
// (its whole message goes on: "，请您到[未完成订单]进行处理!").
const std::string& UnpaidOrderPending();  // 您还有未处理的订单
const std::string& ClosedHoursMarker();   // 系统维护时间, in a refusal while the service is closed
// Sleeper berths.
const std::string& LowerBerth();   // 下铺
const std::string& MiddleBerth();  // 中铺
const std::string& UpperBerth();   // 上铺

}  // namespace quillet::booking_texts
