#pragma once
// The page for a phone or a desktop browser: serves it, streams the run's
// changes to it and takes its requests (stop, a captcha answer).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "web/web_address.h"
#include "web/web_status.h"

namespace httplib {
class Server;
}

namespace quillet::web {

struct WebSettings {
  WebAddress address;
  std::string token;              // empty: none asked for (loopback)
  std::string certFile, keyFile;  // both set: HTTPS
};

// What the page's requests do; each may be called on any server thread.
struct WebActions {
  std::function<void()> stop;
  // The captcha cells as the terminal takes them ("2,5") for the picture
  // `pictureId` (PendingSignIn::id); false when that picture waits for no answer.
  std::function<bool(std::uint64_t pictureId, const std::string& cells)> captchaAnswer;
};

class WebServer {
 public:
  WebServer(WebSettings settings, WebStatus& status, WebActions actions);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds and serves on a thread of its own; false with `error` (UTF-8 English) when it cannot.
  bool Start(std::string& error);
  void Stop();

  // The bound port (the asked one, or the one picked for port 0).
  int Port() const { return port_; }
  // The page's address, with the token when one is asked for.
  std::string UrlWithToken() const;
  std::string Url() const;

 private:
  void Route();

  WebSettings settings_;
  WebStatus& status_;
  WebActions actions_;
  std::string formValue_;  // the anti-forgery value the page sends back with each change
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  struct Internals;
  std::unique_ptr<Internals> internals_;
};

}  // namespace quillet::web
