#include "ui/grab_log_text.h"

#include "util/codepage.h"

namespace quillet::grab_log_text {
namespace {

std::string ResultLine(const std::string& prefix, const OrderReport& order) {
  static const std::string trainPart = Gbk(u8",车次：");
  static const std::string passengerPart = Gbk(u8",购票人：");
  std::string names;
  for (const std::string& name : order.passengers) names += (names.empty() ? "" : ",") + name;
  return prefix + order.date + trainPart + order.train + passengerPart + names + "\r\n";
}

}  // namespace

const std::string& StartedLine() {
  static const std::string text = Gbk(u8"抢票开始！\r\n");
  return text;
}

std::string BookedLine(const OrderReport& order) {
  static const std::string prefix = Gbk(u8"购票成功!日期：");
  return ResultLine(prefix, order);
}

std::string ManualCheckLine(const OrderReport& order) {
  static const std::string prefix = Gbk(u8"请手动查看购票信息!日期：");
  return ResultLine(prefix, order);
}

std::string AttemptCaption(std::uint64_t attempts) {
  static const std::string prefix = Gbk(u8"尝试次数：");
  return prefix + std::to_string(attempts);
}

std::string AbandonedOrderLine(const OrderReport& order) {
  std::string names;
  for (const std::string& name : order.passengers) names += (names.empty() ? "" : ", ") + Utf8FromGbk(name);
  return "an order for " + Utf8FromGbk(order.train) + " on " + Utf8FromGbk(order.date) + " (" + names +
         ") was submitted; check the account's unpaid orders\n";
}

}  // namespace quillet::grab_log_text
