#pragma once
// The window's words for what grabbing tells: the log lines and the attempt
// caption as program text (GBK), and the line naming a submitted order whose
// outcome was not learnt as the window closed (UTF-8, for standard error).
// No Qt here, so the words are checked without a window.
#include <cstdint>
#include <string>

#include "grab/grab_events.h"

namespace quillet::grab_log_text {

const std::string& StartedLine();                  // 抢票开始！\r\n
std::string BookedLine(const OrderReport& order);  // 购票成功!日期：<date>,车次：<train>,购票人：<names>\r\n
std::string ManualCheckLine(const OrderReport& order);  // 请手动查看购票信息!日期：...\r\n
std::string AttemptCaption(std::uint64_t attempts);     // 尝试次数：<attempts>
std::string AbandonedOrderLine(const OrderReport& order);

}  // namespace quillet::grab_log_text
