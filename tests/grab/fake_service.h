#pragma once
// A scripted stand-in for the booking service: every path answers a text the
// test chooses (by default the answers of a smooth order), and every request
// is recorded with the time it arrived. For cases the rehearsal service
// cannot be made to show, such as an order id that never comes.
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "booking/service_paths.h"

namespace quillet::test {

// A train text of the left-ticket answer ("|"-separated, 36 pieces), with the
// remaining-ticket pieces given by seat type code ("9", "M", "O", "4", "3", "2", "1").
inline std::string FakeTrainText(const std::string& code, const std::string& fromTelecode,
                                 const std::string& toTelecode, const std::map<std::string, std::string>& tickets) {
  std::vector<std::string> pieces(36);
  pieces[0] = "SECRET%2B" + code;
  pieces[1] = "\xe9\xa2\x84\xe8\xae\xa2";  // 预订 (UTF-8)
  pieces[2] = "NO" + code;
  pieces[3] = code;
  pieces[4] = fromTelecode;
  pieces[5] = toTelecode;
  pieces[6] = fromTelecode;
  pieces[7] = toTelecode;
  pieces[8] = "08:00";
  pieces[9] = "12:00";
  pieces[10] = "04:00";
  pieces[11] = "Y";
  pieces[12] = "LEFT" + code;
  pieces[15] = "P2";
  for (int i = 20; i <= 32; ++i) pieces[i] = "--";
  const std::map<std::string, int> pieceOfCode = {{"9", 32}, {"M", 31}, {"O", 30}, {"1", 29},
                                                  {"3", 28}, {"2", 24}, {"4", 23}};
  for (const auto& [seat, count] : tickets) pieces[pieceOfCode.at(seat)] = count;
  std::string text;
  for (std::size_t i = 0; i < pieces.size(); ++i) text += (i ? "|" : "") + pieces[i];
  return text;
}

inline std::string FakeQueryAnswer(const std::vector<std::string>& trainTexts) {
  std::string list;
  for (const std::string& train : trainTexts) list += (list.empty() ? "\"" : ",\"") + train + "\"";
  return R"({"data":{"flag":"1","map":{},"result":[)" + list + R"(]},"httpstatus":200,"messages":"","status":true})";
}

class FakeService {
 public:
  using Clock = std::chrono::steady_clock;
  struct Request {
    std::string method, path, target, body;
    Clock::time_point at;
  };
  using Answer = std::function<std::string(const Request&)>;

  FakeService() {
    SetDefaults();
    // Idle connections are closed soon, so that stopping the server does not
    // wait out the usual keep-alive time.
    server_.set_keep_alive_timeout(1);
    server_.set_tcp_nodelay(true);
    server_.new_task_queue = [] { return new httplib::ThreadPool(64); };
    const auto handler = [this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); };
    server_.Get(".*", handler);
    server_.Post(".*", handler);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    WarmUp();
  }

  ~FakeService() {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    wake_.notify_all();
    server_.stop();
    thread_.join();
  }

  // The answers of a smooth order, no delays.
  void SetDefaults() {
    {
      std::lock_guard lock(mutex_);
      delays_.clear();
    }
    SetText(service_paths::kCheckUser, R"({"data":{"flag":true},"status":true})");
    SetText(service_paths::kSubmitOrderRequest, R"({"status":true,"data":"N","messages":[]})");
    SetText(service_paths::kOrderPage,
            "<script>var globalRepeatSubmitToken = 'TOKEN42';\n"
            "var ticketInfoForPassengerForm={'key_check_isChange':'KEYCHECK','leftTicketStr':'LTS%2Babc',"
            "'orderRequestDTO':{'train_date':{'date':1,'time':1400000000000,'year':114}},'train_location':'P2'};"
            "</script>");
    SetText(service_paths::kCheckOrderInfo, R"({"data":{"submitStatus":true},"status":true})");
    SetText(service_paths::kQueueCount,
            R"({"data":{"count":"0","ticket":"21,0","op_2":"false","countT":"0","op_1":"false"},"status":true})");
    // Each confirmation makes an order, E123456789 the first; the order-id
    // poll names the latest, as the service does for a session.
    auto orders = std::make_shared<std::atomic<int>>(0);
    SetAnswer(service_paths::kConfirmSingleForQueue, [orders](const Request&) {
      ++*orders;
      return std::string(R"({"data":{"submitStatus":true},"status":true})");
    });
    SetAnswer(service_paths::kOrderWaitTime, [orders](const Request&) {
      return R"({"data":{"waitTime":-1,"orderId":"E)" + std::to_string(123456788 + std::max(orders->load(), 1)) +
             R"("}})";
    });
    SetText(service_paths::kOrderResult, R"({"data":{"submitStatus":true},"status":true})");
    SetText(service_paths::kLeftTicketQuery, FakeQueryAnswer({}));
  }

  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

  void SetAnswer(const std::string& path, Answer answer) {
    std::lock_guard lock(mutex_);
    answers_[path] = std::move(answer);
  }
  void SetText(const std::string& path, std::string text) {
    SetAnswer(path, [text = std::move(text)](const Request&) { return text; });
  }
  // Holds every answer of `path` back for `delay` (cut short when the service ends).
  void SetDelay(const std::string& path, std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    delays_[path] = delay;
  }

  std::vector<Request> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  std::vector<Request> RequestsTo(const std::string& path) const {
    std::vector<Request> found;
    for (const Request& request : Requests()) {
      if (request.path == path) found.push_back(request);
    }
    return found;
  }
  std::vector<std::string> Paths() const {
    std::vector<std::string> paths;
    for (const Request& request : Requests()) paths.push_back(request.path);
    return paths;
  }
  void ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
  }

 private:
  void Handle(const httplib::Request& req, httplib::Response& res) {
    Request request{req.method, req.path, req.target, req.body, Clock::now()};
    Answer answer;
    std::chrono::milliseconds delay{0};
    {
      std::unique_lock lock(mutex_);
      requests_.push_back(request);
      if (auto it = answers_.find(req.path); it != answers_.end()) answer = it->second;
      if (auto it = delays_.find(req.path); it != delays_.end()) delay = it->second;
      if (delay.count() > 0) wake_.wait_for(lock, delay, [this] { return closing_; });
    }
    if (!answer) {
      res.status = 404;
      return;
    }
    res.set_content(answer(request), "application/json;charset=UTF-8");
  }

  // The library sets up some function-local statics while it serves its
  // first requests. Serving one of each kind alone first keeps
  // ThreadSanitizer from mistaking their (uninstrumented) first use for a race.
  void WarmUp() {
    {
      httplib::Client client("127.0.0.1", port_);
      client.set_keep_alive(false);
      client.Get("/warm-up");
      client.Post("/warm-up", "a=b", "application/x-www-form-urlencoded");
    }
    ClearRequests();
  }

  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool closing_ = false;
  std::map<std::string, Answer> answers_;
  std::map<std::string, std::chrono::milliseconds> delays_;
  std::vector<Request> requests_;
};

}  // namespace quillet::test
