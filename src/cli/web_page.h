#pragma once
// quillet-grab's page for a browser (--web or the plan's [web]): where it is
// served, its token, and what its requests do in the run.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "cli/command_line.h"
#include "cli/plan.h"
#include "session/session.h"
#include "web/web_server.h"
#include "web/web_status.h"

namespace quillet::cli {

// How the page is to be served, from the command line and the plan.
struct WebPageChoice {
  std::optional<web::WebSettings> settings;  // empty: no page
  std::string error;                         // set when the run must not start
  std::string warning;                       // a line for standard error
};
// `environmentToken`: QUILLET_WEB_TOKEN, or null.
WebPageChoice ChooseWebPage(const CommandLine& line, const Plan& plan, const char* environmentToken);

class WebPage {
 public:
  // `stop` stops the run as Ctrl+C does.
  WebPage(web::WebSettings settings, const Session& session, std::function<void()> stop);
  ~WebPage();

  bool Start(std::string& error);
  web::WebStatus& Status() { return status_; }
  // The page's address with its token: printed once, at the start.
  std::string UrlWithToken() const { return server_->UrlWithToken(); }
  // Without the token, for notifications.
  std::string Url() const { return server_->Url(); }
  // Captcha answers from the page arrive here as lines, for the terminal
  // sign-in to read next to the terminal.
  int AnswerFd() const { return answerPipe_[0]; }
  // A new captcha picture for the page; an answer the page sent for an
  // earlier one and nobody read is dropped.
  void ShowCaptcha(const std::string& jpeg);

 private:
  bool TakeCaptchaAnswer(std::uint64_t pictureId, const std::string& cells);

  web::WebStatus status_;
  std::unique_ptr<web::WebServer> server_;
  std::atomic<bool> stopAsked_{false};
  std::mutex answerMutex_;  // one answer per picture, whichever page sends it first
  int answerPipe_[2] = {-1, -1};
};

}  // namespace quillet::cli
