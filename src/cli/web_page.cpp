#include "cli/web_page.h"

#include <fcntl.h>
#include <unistd.h>

#include "util/messages.h"
#include "web/web_token.h"

namespace quillet::cli {

WebPageChoice ChooseWebPage(const CommandLine& line, const Plan& plan, const char* environmentToken) {
  WebPageChoice choice;
  const std::string listen = line.web.empty() ? plan.web.listen : line.web;
  if (listen.empty()) return choice;
  const std::optional<web::WebAddress> address = web::ParseWebAddress(listen);
  if (!address) {
    choice.error = Format(_("--web needs [ADDRESS:]PORT, e.g. 127.0.0.1:8765 (got %s)"), listen);
    return choice;
  }
  web::WebSettings settings;
  settings.address = *address;
  settings.certFile = line.webCert.empty() ? plan.web.cert : line.webCert;
  settings.keyFile = line.webKey.empty() ? plan.web.key : line.webKey;
  if (settings.certFile.empty() != settings.keyFile.empty()) {
    choice.error = _("the page's certificate and key go together (--web-cert and --web-key)");
    return choice;
  }
  const bool tls = !settings.certFile.empty();
  if (!address->loopback) {
    if (!tls && !line.webInsecure) {
      choice.error = Format(_("the page on %s would be reachable from other machines without TLS; give "
                              "--web-cert and --web-key, or --web-insecure to allow plain HTTP"),
                            listen);
      return choice;
    }
    if (environmentToken != nullptr && *environmentToken != '\0') {
      if (!web::AcceptableWebToken(environmentToken)) {
        choice.error = _("QUILLET_WEB_TOKEN must be 16 to 128 letters, digits, '-' or '_'");
        return choice;
      }
      settings.token = environmentToken;
    } else {
      const std::optional<std::string> token = web::MakeWebToken();
      if (!token) {
        choice.error = _("cannot make the page's token: the system's random source cannot be read");
        return choice;
      }
      settings.token = *token;
    }
    if (!tls) {
      choice.warning =
          _("warning: the page is served over plain HTTP on an address other machines reach; "
            "anyone on the way can read its token");
    }
  }
  choice.settings = std::move(settings);
  return choice;
}

WebPage::WebPage(web::WebSettings settings, const Session& session, std::function<void()> stop)
    : status_(web::StatusSources{
          .status = [&session] { return session.Status(); },
          .saleMoments =
              [&session] {
                std::vector<std::optional<std::chrono::system_clock::time_point>> moments;
                for (const OrderWish& wish : session.Wishes()) moments.push_back(wish.startAt);
                return moments;
              },
      }) {
  if (::pipe2(answerPipe_, O_CLOEXEC | O_NONBLOCK) != 0) answerPipe_[0] = answerPipe_[1] = -1;
  server_ = std::make_unique<web::WebServer>(
      std::move(settings), status_,
      // One stop however many pages ask: a second would be a second Ctrl+C,
      // which ends the program at once.
      web::WebActions{.stop =
                          [this, stop = std::move(stop)] {
                            if (!stopAsked_.exchange(true)) stop();
                          },
                      .captchaAnswer = [this](std::uint64_t id,
                                              const std::string& cells) { return TakeCaptchaAnswer(id, cells); }});
}

WebPage::~WebPage() {
  server_->Stop();
  for (const int fd : answerPipe_)
    if (fd >= 0) ::close(fd);
}

bool WebPage::Start(std::string& error) { return server_->Start(error); }

void WebPage::ShowCaptcha(const std::string& jpeg) {
  char stale[256];
  while (answerPipe_[0] >= 0 && ::read(answerPipe_[0], stale, sizeof stale) > 0) {
  }
  status_.ShowCaptcha(jpeg);
}

bool WebPage::TakeCaptchaAnswer(std::uint64_t pictureId, const std::string& cells) {
  std::lock_guard lock(answerMutex_);
  const web::PendingSignIn shown = status_.SignIn();
  if (shown.kind != web::PendingSignIn::Kind::kCaptcha || shown.id != pictureId || answerPipe_[1] < 0) return false;
  // The picture is answered once; the next one comes with a new sign-in attempt.
  status_.ClearSignIn();
  const std::string line = cells + "\n";  // short enough to arrive whole
  return ::write(answerPipe_[1], line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

}  // namespace quillet::cli
