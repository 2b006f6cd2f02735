#include "ui/login_page.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "booking/captcha_cells.h"
#include "session/session.h"
#include "ui/controls.h"
#include "ui/gbk_qt.h"
#include "ui/message_box.h"
#include "ui/page_texts.h"

namespace quillet {

LoginPage::LoginPage(const MainWindowControls& ui, Session& session, QObject* parent)
    : QObject(parent), ui_(ui), session_(session) {
  connect(ui_.loginButton, &QPushButton::clicked, this, &LoginPage::OnLoginClicked);
  connect(ui_.refreshCaptchaButton, &QPushButton::clicked, this, &LoginPage::OnRefreshCaptchaClicked);
  connect(ui_.confirmLoginButton, &QPushButton::clicked, this, &LoginPage::OnConfirmLoginClicked);
  for (int cell = 1; cell <= kCaptchaCellCount; ++cell) {
    OnLeftButtonPress(CellLabel(cell), this, [this, cell] { OnCaptchaCellPressed(cell); });
  }
}

QLabel* LoginPage::CellLabel(int cell) const { return ui_.captchaCells[static_cast<size_t>(cell - 1)]; }

LoginPage::~LoginPage() { Shutdown(); }

void LoginPage::Shutdown() {
  calls_.StopAll();
  if (passengerThread_.joinable()) {
    passengerThread_.request_stop();
    passengerThread_.join();
  }
}

void LoginPage::ClearCaptcha() {
  for (QLabel* label : ui_.captchaCells) label->clear();
  for (std::string& answer : cellAnswers_) answer.clear();
}

// While a captcha fetch or a login is under way the sign-in handlers do
// nothing: their steps wait on that answer, as they would in a window that
// blocks for the call.
void LoginPage::FetchCaptcha() {
  Session* session = &session_;
  calls_.Start(
      kSignIn, [session](std::stop_token stop) { return session->FetchCaptcha(stop).picture; },
      [this](const std::string& picture) {
        ShowPictureBytes(ui_.captchaPicture, QByteArray(picture.data(), static_cast<qsizetype>(picture.size())));
      });
}

void LoginPage::OnLoginClicked() {
  if (calls_.Running(kSignIn)) return;
  if (ui_.accountEdit->text().isEmpty() || ui_.passwordEdit->text().isEmpty()) {
    ShowInfo(ui_.window, page_texts::EnterAccount());
    return;
  }
  ClearCaptcha();
  ui_.captchaPanel->show();
  FetchCaptcha();
}

void LoginPage::OnRefreshCaptchaClicked() {
  if (calls_.Running(kSignIn)) return;
  ClearCaptcha();
  FetchCaptcha();
}

void LoginPage::OnCaptchaCellPressed(int cell) {
  if (cell < 1 || cell > kCaptchaCellCount || calls_.Running(kSignIn)) return;
  QLabel* label = CellLabel(cell);
  std::string& answer = cellAnswers_[static_cast<size_t>(cell - 1)];
  if (label->text() == page_texts::CellMark()) {
    label->clear();
    answer.clear();
  } else if (label->text().isEmpty()) {
    label->setText(page_texts::CellMark());
    answer = CaptchaCellPoints()[static_cast<size_t>(cell - 1)];
  }
}

void LoginPage::OnConfirmLoginClicked() {
  if (calls_.Running(kSignIn)) return;
  std::array<bool, kCaptchaCellCount> marked{};
  bool anyMarked = false;
  for (int cell = 1; cell <= kCaptchaCellCount; ++cell) {
    const QString caption = CellLabel(cell)->text();
    marked[static_cast<size_t>(cell - 1)] = caption == page_texts::CellMark();
    anyMarked = anyMarked || !caption.isEmpty();
  }
  if (!anyMarked) {
    ShowInfo(ui_.window, page_texts::PickCaptcha());
    return;
  }
  const std::string answer = BuildCaptchaAnswer(cellAnswers_, marked);
  const std::string account = ToGbk(ui_.accountEdit->text());
  const std::string password = ToGbk(ui_.passwordEdit->text());

  Session* session = &session_;
  calls_.Start(
      kSignIn,
      [session, account, password, answer](std::stop_token stop) {
        return session->SignIn(account, password, answer, stop);
      },
      [this](const LoginResult& result) { OnLoginAnswered(result); });
}

void LoginPage::OnLoginAnswered(const LoginResult& result) {
  if (result.Done()) {
    ui_.captchaPanel->hide();
    ui_.accountEdit->setEnabled(false);
    ui_.passwordEdit->setEnabled(false);
    ui_.loginButton->setEnabled(false);
    StartPassengerLoading();
    return;
  }
  // The captcha's text asks for a new captcha, whatever the check came to;
  // any other failure leaves the panel as it is, marks included.
  if (result.kind == ServiceResultKind::kStopped || !result.captchaSpent) return;
  ShowInfo(ui_.window, page_texts::CaptchaRetry());
  ClearCaptcha();
  FetchCaptcha();
}

void LoginPage::StartPassengerLoading() {
  if (passengerThread_.joinable()) return;  // one load per run: the login button is disabled by now
  // The session tells the window's view, which fills the passenger list.
  Session* session = &session_;
  passengerThread_ = std::jthread([session](std::stop_token stop) { session->LoadPassengers(stop); });
}

}  // namespace quillet
