#include "web/web_server.h"

#include <httplib.h>

#include <unistd.h>

#include <cstdlib>

#include "web/client_slots.h"
#include "web/page_assets.h"
#include "web/qr_svg.h"
#include "web/request_checks.h"
#include "web/web_limits.h"
#include "web/web_token.h"

namespace quillet::web {
namespace {

constexpr char kFormPlaceholder[] = "__QUILLET_FORM__";

void Refuse(httplib::Response& response, int status, const char* text) {
  response.status = status;
  response.set_content(text, "text/plain; charset=utf-8");
}

// Nothing of the page is kept by a cache, shown in another site's frame or
// loaded from elsewhere; the address (with a token) is not passed on.
void SetPageHeaders(httplib::Response& response) {
  response.set_header("Cache-Control", "no-store");
  response.set_header("X-Content-Type-Options", "nosniff");
  response.set_header("X-Frame-Options", "DENY");
  response.set_header("Referrer-Policy", "no-referrer");
  response.set_header("Content-Security-Policy",
                      "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
                      "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'");
}

}  // namespace

struct WebServer::Internals {
  ClientSlots liveClients{kMaxClients};
};

WebServer::WebServer(WebSettings settings, WebStatus& status, WebActions actions)
    : settings_(std::move(settings)),
      status_(status),
      actions_(std::move(actions)),
      internals_(std::make_unique<Internals>()) {
  formValue_ = MakeWebToken().value_or("");
}

WebServer::~WebServer() { Stop(); }

std::string WebServer::Url() const {
  WebAddress address = settings_.address;
  address.port = port_;
  // Every address of the machine: its name is what another machine asks for.
  if (address.host == "0.0.0.0" || address.host == "::") {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') address.host = name;
  }
  return PageUrl(address, !settings_.certFile.empty());
}

std::string WebServer::UrlWithToken() const {
  return settings_.token.empty() ? Url() : Url() + "?token=" + settings_.token;
}

bool WebServer::Start(std::string& error) {
  if (formValue_.empty()) {
    error = "cannot read the system's random source";
    return false;
  }
  if (!settings_.certFile.empty()) {
    server_ = std::make_unique<httplib::SSLServer>(settings_.certFile.c_str(), settings_.keyFile.c_str());
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
  if (!server_->is_valid()) {
    error = "cannot use the TLS certificate or key (" + settings_.certFile + ", " + settings_.keyFile + ")";
    return false;
  }
  // The live pages each hold a thread; a few more serve everything else.
  server_->new_task_queue = [] { return new httplib::ThreadPool(kMaxClients + 8); };
  server_->set_keep_alive_timeout(kIdleSeconds);
  server_->set_read_timeout(kIdleSeconds);
  server_->set_write_timeout(kIdleSeconds);
  server_->set_payload_max_length(kMaxBodyBytes);
  server_->set_tcp_nodelay(true);
  Route();
  port_ = settings_.address.port;
  if (!server_->bind_to_port(settings_.address.host.c_str(), port_)) {
    error = "cannot listen on " + UrlHost(settings_.address) + ":" + std::to_string(port_);
    return false;
  }
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  return true;
}

void WebServer::Stop() {
  status_.Shutdown();
  if (server_) server_->stop();
  if (thread_.joinable()) thread_.join();
}

void WebServer::Route() {
  httplib::Server& server = *server_;
  server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    if (!HostAcceptable(request.get_header_value("Host"), settings_.address, port_)) {
      Refuse(response, 403, "forbidden");
      return httplib::Server::HandlerResponse::Handled;
    }
    // A body without a stated length could go on without end.
    if (request.has_header("Transfer-Encoding")) {
      Refuse(response, 411, "length required");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!settings_.token.empty()) {
      const std::string fromQuery = request.get_param_value("token");
      const std::optional<std::string> fromCookie = CookieValue(request.get_header_value("Cookie"), kTokenCookie);
      const bool byQuery = SameToken(fromQuery, settings_.token);
      if (!byQuery && !SameToken(fromCookie.value_or(""), settings_.token)) {
        Refuse(response, 403, "forbidden");
        return httplib::Server::HandlerResponse::Handled;
      }
      if (byQuery) {
        response.set_header("Set-Cookie", std::string(kTokenCookie) + "=" + settings_.token +
                                              "; Path=/; HttpOnly; SameSite=Strict" +
                                              (settings_.certFile.empty() ? "" : "; Secure"));
      }
    }
    if (request.method == "POST" &&
        !SameToken(request.get_header_value(std::string(kFormHeader).c_str()), formValue_)) {
      Refuse(response, 403, "forbidden");
      return httplib::Server::HandlerResponse::Handled;
    }
    SetPageHeaders(response);
    return httplib::Server::HandlerResponse::Unhandled;
  });

  server.Get("/", [this](const httplib::Request&, httplib::Response& response) {
    std::string page(kPageHtml);
    const std::size_t at = page.find(kFormPlaceholder);
    if (at != std::string::npos) page.replace(at, sizeof kFormPlaceholder - 1, formValue_);
    response.set_content(page, "text/html; charset=utf-8");
  });
  server.Get("/page.css", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string(kPageCss), "text/css; charset=utf-8");
  });
  server.Get("/page.js", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string(kPageJs), "text/javascript; charset=utf-8");
  });
  server.Get("/status", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(status_.SnapshotJson(), "application/json");
  });
  server.Get("/captcha.jpg", [this](const httplib::Request&, httplib::Response& response) {
    const PendingSignIn signIn = status_.SignIn();
    if (signIn.kind != PendingSignIn::Kind::kCaptcha) {
      Refuse(response, 404, "no captcha");
      return;
    }
    response.set_content(signIn.jpeg, "image/jpeg");
  });
  server.Get("/qr.svg", [this](const httplib::Request&, httplib::Response& response) {
    const PendingSignIn signIn = status_.SignIn();
    const std::string svg = signIn.kind == PendingSignIn::Kind::kQr ? QrSvg(signIn.qrContent) : std::string();
    if (svg.empty()) {
      Refuse(response, 404, "no QR code");
      return;
    }
    response.set_content(svg, "image/svg+xml");
  });
  server.Get("/events", [this](const httplib::Request&, httplib::Response& response) {
    if (!internals_->liveClients.TryTake()) {
      Refuse(response, 503, "too many pages are open");
      return;
    }
    struct Stream {
      std::uint64_t version = 0;
      std::uint64_t lastLine = 0;
      bool begun = false;  // the first message, the whole state, has gone
    };
    auto stream = std::make_shared<Stream>();
    response.set_header("X-Accel-Buffering", "no");
    response.set_chunked_content_provider(
        "text/event-stream",
        [this, stream](std::size_t, httplib::DataSink& sink) {
          if (stream->begun) {
            const std::optional<std::uint64_t> version = status_.WaitForChange(stream->version, kKeepAliveBeat);
            if (!version) return false;
            if (*version == stream->version) {
              static constexpr char kBeat[] = ": beat\n\n";
              return sink.write(kBeat, sizeof kBeat - 1);
            }
          }
          // The version first: a change while the snapshot is taken is sent again.
          stream->version = status_.Version();
          const bool whole = !stream->begun;
          stream->begun = true;
          const std::string json = status_.SnapshotJson(stream->lastLine, &stream->lastLine);
          const std::string message =
              std::string("event: ") + (whole ? "snapshot" : "change") + "\ndata: " + json + "\n\n";
          return sink.write(message.data(), message.size());
        },
        [this](bool) { internals_->liveClients.Give(); });
  });
  server.Post("/stop", [this](const httplib::Request&, httplib::Response& response) {
    status_.SetStopping();
    if (actions_.stop) actions_.stop();
    Refuse(response, 202, "stopping");
  });
  server.Post("/captcha", [this](const httplib::Request& request, httplib::Response& response) {
    if (!CaptchaCellsText(request.body)) {
      Refuse(response, 400, "cells 1-8, separated by commas");
      return;
    }
    const std::string id = request.get_param_value("id");
    const std::uint64_t pictureId = id.empty() || id.size() > 19 ? 0 : std::strtoull(id.c_str(), nullptr, 10);
    if (!actions_.captchaAnswer || !actions_.captchaAnswer(pictureId, request.body)) {
      Refuse(response, 409, "no sign-in waits for an answer");
      return;
    }
    Refuse(response, 202, "taken");
  });
}

}  // namespace quillet::web
