#pragma once
// The account area and the captcha panel: sign-in with account, password
// and the marked captcha cells, then the passenger list on a thread of its own.
#include <QObject>
#include <array>
#include <string>
#include <thread>
#include <vector>

#include "booking/records.h"
#include "ui/async_call.h"

class QWidget;

namespace quillet {

struct AppState;

// The fixed answer text of each captcha cell (1..8): a point inside the
// cell's area of the picture as the service sends it.
const std::array<std::string, 8>& CaptchaCellAnswers();
// The answer for the marked cells: their answer texts in cell order, joined by ",".
std::string BuildCaptchaAnswer(const std::array<std::string, 8>& answerFields, const std::array<bool, 8>& marked);

class LoginPage : public QObject {
  Q_OBJECT
 public:
  LoginPage(QWidget* mainWindow, AppState& state, QObject* parent = nullptr);
  ~LoginPage() override;

  void OnLoginClicked();
  void OnRefreshCaptchaClicked();
  void OnCaptchaCellPressed(int cell);  // 1..8
  void OnConfirmLoginClicked();

  // A captcha fetch or a login is under way.
  bool SignInRunning() const { return calls_.Running(kSignIn); }
  // Abandons the running service call and ends the passenger thread.
  void Shutdown();

 private:
  enum CallKind { kSignIn };

  void ClearCaptcha();
  void FetchCaptcha();
  void OnLoginAnswered(bool loggedIn, const std::string& errorText);
  void StartPassengerLoading();
  void ShowPassengers(const std::vector<PassengerRecord>& passengers);

  QWidget* window_;
  AppState& state_;
  ServiceCalls calls_;
  std::jthread passengerThread_;
};

}  // namespace quillet
