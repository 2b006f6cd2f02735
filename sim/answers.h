#pragma once
// The shapes of the service's answers: the JSON envelope every endpoint
// wraps its data in, and the few HTML pages.
#include <string>

#include "sim_http.h"

namespace quillet::sim {

// {"validateMessagesShowId":"_validatorMessage","status":...,"httpstatus":200,
//  "data":DATA,"messages":MESSAGES,"validateMessages":{}}
std::string Envelope(bool status, const std::string& dataJson, const std::string& messagesJson);

// status true, the data, "messages":[].
SimResponse JsonOk(const std::string& dataJson);
// status false, "messages":["reason"], with optional data ({} when empty).
SimResponse JsonRefusal(const std::string& reason, const std::string& dataJson = "");
// status true with {"errMsg":reason,"submitStatus":false}: how the order
// form steps refuse.
SimResponse SubmitRefusal(const std::string& reason);

SimResponse HtmlPage(int status, const std::string& title, const std::string& bodyHtml, const std::string& script = "");
SimResponse NotFoundPage();
SimResponse Redirect(const std::string& location);

// Messages of the service.
namespace msg {
inline constexpr char kNotLoggedIn[] = "用户未登录";
inline constexpr char kBusy[] = "系统繁忙，请稍后重试！";
inline constexpr char kWrongPassword[] = "密码输入错误。如果输错次数超过4次，用户将被锁定。";
inline constexpr char kUnknownUser[] = "登录名不存在。";
inline constexpr char kCaptchaFirst[] = "验证码不正确！";
inline constexpr char kDateRange[] = "选择的查询日期不在预售日期范围内";
inline constexpr char kUnknownStation[] = "出发地或目的地不存在，请重新选择！";
inline constexpr char kSameStation[] = "出发地与目的地不能相同！";
inline constexpr char kBadQuery[] = "查询参数有误，请重新查询！";
inline constexpr char kBadToken[] = "请求已失效，请重新提交订单！";
inline constexpr char kUnpaid[] = "您还有未处理的订单，请您到[未完成订单]进行处理!";
inline constexpr char kBadSecret[] = "车票信息已过期，请重新查询最新车票信息";
inline constexpr char kMismatch[] = "车票信息与查询条件不符，请重新查询！";
inline constexpr char kNotForSale[] = "当前车次暂不办理网上购票业务，请选择其他车次！";
inline constexpr char kNotYetOnSale[] = "当前车次尚未起售，请于起售时间后再购票！";
inline constexpr char kNoPending[] = "订单请求已失效，请重新查询车票！";
inline constexpr char kPassenger[] = "乘车人信息有误，请核实后重新提交！";
inline constexpr char kSeatClass[] = "所选席别本车次没有，请重新选择！";
inline constexpr char kTicketType[] = "票种有误，请重新选择！";
inline constexpr char kStudent[] = "学生票的乘车人须为学生，请重新选择！";
inline constexpr char kQueueMismatch[] = "排队信息与订单不符，请重新提交！";
inline constexpr char kOrderChanged[] = "订单信息已变更，请重新提交！";
inline constexpr char kTicketsGone[] = "余票不足！";
inline constexpr char kNoQueuedOrder[] = "没有排队中的订单！";
inline constexpr char kWrongOrderId[] = "订单号有误，请重新查询！";
// QR sign-in on the passport service.
inline constexpr char kQrCreated[] = "生成二维码成功";
inline constexpr char kQrWaiting[] = "二维码状态查询成功";
inline constexpr char kQrScanned[] = "二维码已扫描，请在手机上确认登录";
inline constexpr char kQrConfirmed[] = "扫码登录成功";
inline constexpr char kQrExpired[] = "二维码已失效";
inline constexpr char kQrRefused[] = "您已在手机上取消登录";
inline constexpr char kQrUnknown[] = "二维码不存在";
inline constexpr char kTokenAccepted[] = "验证通过";
inline constexpr char kTokenRefused[] = "验证失败，请重新登录";
// Waitlist orders.
inline constexpr char kFaceCheck[] = "您的身份信息需要完成人脸核验，请在铁路12306手机客户端核验后再办理候补购票";
inline constexpr char kWaitlistHeld[] = "您已有待兑现的候补订单，请兑现或取消后再提交新的候补订单";
inline constexpr char kWaitlistConflict[] = "乘车人已购买或候补了行程冲突的车票，不能再次候补";
inline constexpr char kWaitlistChoices[] = "候补车次席别有误，请重新选择！";
inline constexpr char kWaitlistNotOpen[] = "所选车次席别暂不能候补，请重新选择！";
inline constexpr char kWaitlistParty[] = "候补订单的乘车人最多为5人，请重新选择！";
inline constexpr char kWaitlistDeadline[] = "截止兑现时间有误，请重新选择！";
inline constexpr char kWaitlistNoPending[] = "候补订单请求已失效，请重新提交！";
inline constexpr char kNoWaitlistOrder[] = "没有找到候补订单！";
inline constexpr char kWaitlistNotCancellable[] = "候补订单已兑现或已结束，不能取消！";
inline constexpr char kWaitlistChanceHigh[] = "成功机会较大";
inline constexpr char kWaitlistChanceMiddle[] = "成功机会一般";
inline constexpr char kWaitlistChanceLow[] = "成功机会较小";
inline constexpr char kWaitlistWaiting[] = "待兑现";
inline constexpr char kWaitlistFilled[] = "已兑现";
inline constexpr char kWaitlistCancelled[] = "已取消";
inline constexpr char kWaitlistExpired[] = "已过期";
// Outside the daily hours (--hours), and to a client that queries too fast (--throttle).
inline constexpr char kClosedHours[] = "对不起，现在是系统维护时间，暂停办理购票业务，请在服务时间内购票！";
inline constexpr char kNetworkBusy[] = "网络繁忙，请求过于频繁，请稍后再试！";
}  // namespace msg

// The passport's result codes of a QR code's state, as checkqr answers them.
namespace qr_result {
inline constexpr char kWaiting[] = "0";
inline constexpr char kScanned[] = "1";
inline constexpr char kConfirmed[] = "2";
inline constexpr char kExpired[] = "3";
inline constexpr char kRefused[] = "4";
inline constexpr char kUnknown[] = "5";
}  // namespace qr_result

// What a sign-in QR code encodes: the address the railway's phone app opens,
// with the code's uuid.
inline constexpr char kQrContentPrefix[] = "https://kyfw.12306.cn/otn/login/qr?uuid=";

}  // namespace quillet::sim
