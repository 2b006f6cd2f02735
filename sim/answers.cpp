#include "answers.h"

#include "text_codec.h"

namespace quillet::sim {

std::string Envelope(bool status, const std::string& dataJson, const std::string& messagesJson) {
  return std::string("{\"validateMessagesShowId\":\"_validatorMessage\",\"status\":") + (status ? "true" : "false") +
         ",\"httpstatus\":200,\"data\":" + (dataJson.empty() ? "{}" : dataJson) + ",\"messages\":" + messagesJson +
         ",\"validateMessages\":{}}";
}

SimResponse JsonOk(const std::string& dataJson) {
  return SimResponse{200, kJsonType, Envelope(true, dataJson, "[]"), {}};
}

SimResponse JsonRefusal(const std::string& reason, const std::string& dataJson) {
  return SimResponse{200, kJsonType, Envelope(false, dataJson, "[" + JsonStringFromUtf8(reason) + "]"), {}};
}

SimResponse SubmitRefusal(const std::string& reason) {
  return JsonOk("{\"errMsg\":" + JsonStringFromUtf8(reason) + ",\"submitStatus\":false}");
}

SimResponse HtmlPage(int status, const std::string& title, const std::string& bodyHtml, const std::string& script) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"UTF-8\">\n<title>" + title + "</title>\n";
  if (!script.empty()) page += "<script type=\"text/javascript\">\n" + script + "</script>\n";
  page += "</head>\n<body>\n" + bodyHtml + "\n</body>\n</html>\n";
  return SimResponse{status, kHtmlType, page, {}};
}

SimResponse NotFoundPage() {
  return HtmlPage(404, "404 | 铁路客户服务中心", "<h1>404</h1><p>您访问的页面不存在。</p>");
}

SimResponse Redirect(const std::string& location) {
  SimResponse r = HtmlPage(302, "302 Found", "<p>Moved to <a href=\"" + location + "\">" + location + "</a></p>");
  r.headers.emplace_back("Location", location);
  return r;
}

}  // namespace quillet::sim
