#pragma once
// Starts quillet-sim on a free loopback port for a test and stops it again.
#include <map>
#include <string>
#include <vector>

namespace quillet::test {

class SimProcess {
 public:
  // extraArgs are passed to quillet-sim after "--port 0 --control". Waits
  // up to 10 s for the sim's address; on failure the test gets a failure
  // message and Running() is false. The sim ends by itself when the thread
  // that started it ends (so a crashed test leaves none behind): construct
  // it on a thread that outlives its use, normally the test's own.
  explicit SimProcess(std::vector<std::string> extraArgs = {});
  ~SimProcess();  // SIGTERM, then wait (SIGKILL after 5 s)
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool Running() const { return pid_ > 0 && !baseUrl_.empty(); }
  const std::string& BaseUrl() const { return baseUrl_; }  // "http://127.0.0.1:PORT"
  int Port() const { return port_; }

  // Control endpoints (UTF-8 JSON texts as the sim answers them).
  std::string Get(const std::string& pathAndQuery) const;
  std::string PostForm(const std::string& path, const std::map<std::string, std::string>& fields) const;
  std::string State() const { return Get("/sim/state"); }
  // The phone's part of a QR sign-in (POST /sim/qr/scan): scans the code for
  // the account and, unless `confirm` is empty, confirms ("true") or refuses
  // ("false"). The answer text; `status` receives the HTTP status.
  std::string ScanQrCode(const std::string& id, const std::string& account, const std::string& confirm,
                         int* status = nullptr) const;
  std::string Requests() const { return Get("/sim/requests"); }
  // The correct cells (1..8) of the session's current captcha.
  std::vector<int> CaptchaCells(const std::string& jsessionId) const;
  // Sets the stock of a class; returns the answer text.
  std::string Release(const std::string& date, const std::string& train, const std::string& seat, int count) const;
  void Reset() const;
  // Spoils the answers of the next `times` requests to a path (or its last
  // segment, "confirmSingleForQueue") after the service carried them out:
  // mode "garbage", "truncated", "reset" or "drip". Returns the answer text.
  std::string ArmFault(const std::string& path, const std::string& mode, int times = 1) const;

  // Ends the sim (SIGTERM, SIGKILL after 5 s) and returns how it ended:
  // its exit code, or 128 + the signal that ended it; -1 when it was not
  // running. The destructor does the same when Stop was not called.
  int Stop();
  int Pid() const { return pid_; }

 private:
  int pid_ = -1;
  int port_ = 0;
  std::string baseUrl_;
};

// Path of the quillet-sim binary of this build (set by CMake).
std::string SimBinaryPath();

// Today's date in China Standard Time (UTC+8) plus a number of days, as
// yyyy-MM-dd: the service's presale window runs from today to today + 29.
std::string ChinaDatePlusDays(int days);

// The captcha answer the login page sends for the marked cells (1..8): their
// fixed coordinate texts in the given order, joined by ","; other numbers
// are left out.
std::string CaptchaAnswer(const std::vector<int>& cells);

}  // namespace quillet::test
