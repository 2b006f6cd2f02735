#include "ui/login_page.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "app/app_state.h"
#include "ui/controls.h"
#include "ui/gbk_qt.h"
#include "ui/layouts.h"
#include "ui/message_box.h"
#include "ui/page_texts.h"

namespace quillet {

namespace {

QString CellName(int cell) { return QStringLiteral(u"透明标签%1").arg(cell + 6); }  // cells 1..8: 透明标签7..14

}  // namespace

const std::array<std::string, 8>& CaptchaCellAnswers() {
  static const std::array<std::string, 8> answers = {"38.5,40",    "110.5,35", "180,42",  "253,50",
                                                     "33.5,111.5", "109,110",  "182,115", "255,117"};
  return answers;
}

std::string BuildCaptchaAnswer(const std::array<std::string, 8>& answerFields, const std::array<bool, 8>& marked) {
  std::string answer;
  for (size_t i = 0; i < answerFields.size(); ++i) {
    if (marked[i]) answer += answerFields[i] + ",";
  }
  if (!answer.empty()) answer.pop_back();
  return answer;
}

LoginPage::LoginPage(QWidget* mainWindow, AppState& state, QObject* parent)
    : QObject(parent), window_(mainWindow), state_(state) {
  BindHandler(window_, QStringLiteral("OnLoginClicked"), this, [this](int) { OnLoginClicked(); });
  BindHandler(window_, QStringLiteral("OnRefreshCaptchaClicked"), this, [this](int) { OnRefreshCaptchaClicked(); });
  BindHandler(window_, QStringLiteral("OnCaptchaCellPressed"), this, [this](int cell) { OnCaptchaCellPressed(cell); });
  BindHandler(window_, QStringLiteral("OnConfirmLoginClicked"), this, [this](int) { OnConfirmLoginClicked(); });
}

LoginPage::~LoginPage() { Shutdown(); }

void LoginPage::Shutdown() {
  calls_.StopAll();
  if (passengerThread_.joinable()) {
    passengerThread_.request_stop();
    passengerThread_.join();
  }
}

void LoginPage::ClearCaptcha() {
  for (int cell = 1; cell <= 8; ++cell) {
    if (auto* label = FindControl<QLabel>(window_, CellName(cell))) label->clear();
  }
  for (std::string& answer : state_.cellAnswers) answer.clear();
}

// While a captcha fetch or a login is under way the sign-in handlers do
// nothing: their steps wait on that answer, as they would in a window that
// blocks for the call.
void LoginPage::FetchCaptcha() {
  BookingClient* client = state_.client.get();
  calls_.Start(
      kSignIn, [client](std::stop_token stop) { return client->FetchCaptcha(stop); },
      [this](const std::string& picture) {
        ShowPictureBytes(FindControl<QLabel>(window_, QStringLiteral(u"图片框1")),
                         QByteArray(picture.data(), static_cast<qsizetype>(picture.size())));
      });
}

void LoginPage::OnLoginClicked() {
  if (calls_.Running(kSignIn)) return;
  auto* account = FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框1"));
  auto* password = FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框2"));
  if (account->text().isEmpty() || password->text().isEmpty()) {
    ShowInfo(window_, page_texts::EnterAccount());
    return;
  }
  ClearCaptcha();
  FindControl<QFrame>(window_, QStringLiteral(u"外形框1"))->show();
  FetchCaptcha();
}

void LoginPage::OnRefreshCaptchaClicked() {
  if (calls_.Running(kSignIn)) return;
  ClearCaptcha();
  FetchCaptcha();
}

void LoginPage::OnCaptchaCellPressed(int cell) {
  if (cell < 1 || cell > 8 || calls_.Running(kSignIn)) return;
  auto* label = FindControl<QLabel>(window_, CellName(cell));
  std::string& answer = state_.cellAnswers[static_cast<size_t>(cell - 1)];
  if (label->text() == page_texts::CellMark()) {
    label->clear();
    answer.clear();
  } else if (label->text().isEmpty()) {
    label->setText(page_texts::CellMark());
    answer = CaptchaCellAnswers()[static_cast<size_t>(cell - 1)];
  }
}

void LoginPage::OnConfirmLoginClicked() {
  if (calls_.Running(kSignIn)) return;
  std::array<bool, 8> marked{};
  bool anyMarked = false;
  for (int cell = 1; cell <= 8; ++cell) {
    const QString caption = FindControl<QLabel>(window_, CellName(cell))->text();
    marked[static_cast<size_t>(cell - 1)] = caption == page_texts::CellMark();
    anyMarked = anyMarked || !caption.isEmpty();
  }
  if (!anyMarked) {
    ShowInfo(window_, page_texts::PickCaptcha());
    return;
  }
  const std::string answer = BuildCaptchaAnswer(state_.cellAnswers, marked);
  const std::string account = ToGbk(FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框1"))->text());
  const std::string password = ToGbk(FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框2"))->text());

  struct LoginOutcome {
    bool loggedIn = false;
    std::string errorText;
  };
  BookingClient* client = state_.client.get();
  calls_.Start(
      kSignIn,
      [client, account, password, answer](std::stop_token stop) {
        LoginOutcome outcome;
        outcome.loggedIn = client->Login(account, password, answer, outcome.errorText, stop);
        return outcome;
      },
      [this](const LoginOutcome& outcome) { OnLoginAnswered(outcome.loggedIn, outcome.errorText); });
}

void LoginPage::OnLoginAnswered(bool loggedIn, const std::string& errorText) {
  if (loggedIn) {
    FindControl<QFrame>(window_, QStringLiteral(u"外形框1"))->hide();
    FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框1"))->setEnabled(false);
    FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框2"))->setEnabled(false);
    FindControl<QPushButton>(window_, QStringLiteral(u"超级按钮1"))->setEnabled(false);  // the logged-in mark
    StartPassengerLoading();
    return;
  }
  // Any other failure leaves the panel as it is, marks included.
  if (FromGbk(errorText) != page_texts::CaptchaRejected()) return;
  ShowInfo(window_, page_texts::CaptchaRetry());
  ClearCaptcha();
  FetchCaptcha();
}

void LoginPage::StartPassengerLoading() {
  if (passengerThread_.joinable()) return;  // one load per run: the login button is disabled by now
  BookingClient* client = state_.client.get();
  passengerThread_ = std::jthread([this, client](std::stop_token stop) {
    std::vector<PassengerRecord> passengers;
    client->LoadPassengers(passengers, stop);
    if (stop.stop_requested()) return;
    {
      std::lock_guard lock(state_.passengersMutex);
      state_.loadedPassengers.insert(state_.loadedPassengers.end(), passengers.begin(), passengers.end());
    }
    QMetaObject::invokeMethod(
        this, [this, passengers = std::move(passengers)] { ShowPassengers(passengers); }, Qt::QueuedConnection);
  });
}

void LoginPage::ShowPassengers(const std::vector<PassengerRecord>& passengers) {
  auto* list = FindControl<QTreeWidget>(window_, QStringLiteral(u"超级列表框1"));
  for (const PassengerRecord& passenger : passengers) {
    const int row = AppendListRow(list);
    SetListCell(list, row, 0, QString::number(row + 1));
    SetListCell(list, row, 1, FromGbk(passenger.passenger_name));
    SetListCell(list, row, 2, FromGbk(passenger.sex_name));
    SetListCell(list, row, 3, FromGbk(passenger.passenger_type_name + "(" + passenger.passenger_type + ")"));
    SetListCell(list, row, 4,
                FromGbk(passenger.passenger_id_type_name + "[" + passenger.passenger_id_type_code + "]"));
    SetListCell(list, row, 5, FromGbk(passenger.passenger_id_no));
    SetListCell(list, row, 6, FromGbk(passenger.mobile_no));
  }
  SelectListRow(list, 0);
}

}  // namespace quillet
