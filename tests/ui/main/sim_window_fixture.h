#pragma once
// The main window against a rehearsal service of its own.
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "support/sim_harness.h"
#include "window_fixture.h"

namespace quillet::test {

// How many requests the service has logged, all paths or those of one path.
inline int CountRequests(const SimProcess& sim, const std::string& path = {}) {
  const std::string log = sim.Requests();
  const std::string needle = path.empty() ? std::string("\"path\":") : "\"path\":\"" + path + "\"";
  int count = 0;
  for (size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + needle.size())) ++count;
  return count;
}

class SimWindowTest : public WindowTest {
 protected:
  void StartSim(std::vector<std::string> extraArgs = {}) {
    sim_ = std::make_unique<SimProcess>(std::move(extraArgs));
    ASSERT_TRUE(sim_->Running());
    Open(sim_->BaseUrl());
  }
  void TearDown() override {
    WindowTest::TearDown();
    sim_.reset();
  }

  QString CellName(int cell) { return QStringLiteral(u"透明标签%1").arg(cell + 6); }
  void PressCell(int cell) { QTest::mouseClick(Control<QLabel>(CellName(cell)), Qt::LeftButton); }

  std::string SessionId() const {
    const std::string jar = session_->Client().Cookies().Text();
    const std::string key = "JSESSIONID=";
    const size_t at = jar.find(key);
    if (at == std::string::npos) return {};
    const size_t end = jar.find(';', at);
    return jar.substr(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
  }

  qint64 PictureKey() {
    const QPixmap picture = Control<QLabel>(QStringLiteral(u"图片框1"))->pixmap();
    return picture.isNull() ? 0 : picture.cacheKey();
  }

  // Fills the account fields, presses "登录12306" and waits for the captcha picture.
  void OpenCaptcha(const QString& account = QStringLiteral("demo"),
                   const QString& password = QStringLiteral("demo1234")) {
    Control<QLineEdit>(QStringLiteral(u"编辑框1"))->setText(account);
    Control<QLineEdit>(QStringLiteral(u"编辑框2"))->setText(password);
    Control<QPushButton>(QStringLiteral(u"超级按钮1"))->click();
    ASSERT_TRUE(WaitFor([this] { return PictureKey() != 0; }));
  }

  // Marks the right cells of the current captcha and confirms; waits for the sign-in.
  void SignIn() {
    OpenCaptcha();
    for (int cell : sim_->CaptchaCells(SessionId())) PressCell(cell);
    Control<QPushButton>(QStringLiteral(u"超级按钮3"))->click();
    ASSERT_TRUE(WaitFor([this] { return !Control<QPushButton>(QStringLiteral(u"超级按钮1"))->isEnabled(); }));
  }

  std::unique_ptr<SimProcess> sim_;
};

}  // namespace quillet::test
