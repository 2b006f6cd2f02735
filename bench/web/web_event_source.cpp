// The page's server with a status of its own, for measuring the page in a
// browser: each line read from standard input becomes an event line of the
// run, as quillet-grab's own lines do. Usage: web_event_source PORT
#include <cstdio>
#include <iostream>
#include <string>

#include "web/page_assets.h"
#include "web/web_server.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: web_event_source PORT\n";
    return 2;
  }
  using namespace quillet::web;
  WebStatus status(StatusSources{[] { return quillet::SessionStatus{}; }, {}, std::chrono::system_clock::now});
  WebSettings settings;
  settings.address = *ParseWebAddress(std::string("127.0.0.1:") + argv[1]);
  WebServer server(settings, status, {});
  std::string error;
  if (!server.Start(error)) {
    std::cerr << error << "\n";
    return 1;
  }
  std::cout << "page " << server.Url() << " weighs " << kPageHtml.size() + kPageCss.size() + kPageJs.size()
            << " bytes (html " << kPageHtml.size() << ", css " << kPageCss.size() << ", js " << kPageJs.size() << ")\n"
            << std::flush;
  for (std::string line; std::getline(std::cin, line);) status.AddLine(line);
  return 0;
}
