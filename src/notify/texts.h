#pragma once
// The fixed texts of notifications and their reports, as program text (GBK).
#include <string>

namespace quillet::notify_texts {

// Notification summaries.
const std::string& BookedSummary();         // 订票成功，请尽快付款
const std::string& ManualCheckSummary();    // 请手动查看购票结果
const std::string& SessionLapsedSummary();  // 登录已失效，请重新登录
const std::string& ThrottledSummary();      // 查询被服务限流超过一分钟，已放慢查询

// Pieces of the notification body.
const std::string& AccountPart();     // 账号：
const std::string& OrderIdPart();     // 订单号：
const std::string& PayByPart();       // 付款截止：
const std::string& ListSeparator();   // 、
const std::string& ScanQrPart();      // 用铁路12306手机应用扫码并确认：
const std::string& SignInPagePart();  // 在网页上重新登录：

// Report lines.
const std::string& ReportPrefix();           // 通知
const std::string& DeliveredSuffix();        // 已送达
const std::string& FailedSuffix();           // 失败：
const std::string& HttpStatusPrefix();       // HTTP 状态
const std::string& NoAnswer();               // 无法连接或没有应答
const std::string& TriesPrefix();            // 共试
const std::string& TriesSuffix();            // 次
const std::string& CannotStart();            // 无法启动：
const std::string& ExitStatusPrefix();       // 退出码
const std::string& KilledBySignal();         // 被信号终止：
const std::string& TimedOut();               // 超时，已终止
const std::string& NoSessionBus();           // 没有会话总线，桌面通知不可用
const std::string& NoNotificationService();  // 没有桌面通知服务
const std::string& NoSound();                // 无法播放提示音：

}  // namespace quillet::notify_texts
