#pragma once
// The account area and the captcha panel: sign-in with account, password
// and the marked captcha cells, then the passenger list on a thread of its own.
#include <QObject>
#include <array>
#include <string>
#include <thread>

#include "booking/client.h"
#include "ui/async_call.h"
#include "ui/window_controls.h"

namespace quillet {

class Session;

class LoginPage : public QObject {
  Q_OBJECT
 public:
  LoginPage(const MainWindowControls& ui, Session& session, QObject* parent = nullptr);
  ~LoginPage() override;

  void OnLoginClicked();
  void OnRefreshCaptchaClicked();
  void OnCaptchaCellPressed(int cell);  // 1..8
  void OnConfirmLoginClicked();

  // A captcha fetch or a login is under way.
  bool SignInRunning() const { return calls_.Running(kSignIn); }
  // cellAnswer1 .. cellAnswer8: the answer text of each marked cell, empty when unmarked.
  const std::array<std::string, 8>& CellAnswers() const { return cellAnswers_; }
  // Abandons the running service call and ends the passenger thread.
  void Shutdown();

 private:
  enum CallKind { kSignIn };

  QLabel* CellLabel(int cell) const;  // 1..8
  void ClearCaptcha();
  void FetchCaptcha();
  void OnLoginAnswered(const LoginResult& result);
  void StartPassengerLoading();

  MainWindowControls ui_;
  Session& session_;
  std::array<std::string, 8> cellAnswers_;
  ServiceCalls calls_;
  std::jthread passengerThread_;
};

}  // namespace quillet
