// QR sign-in between the client and quillet-sim: the code, its states as the
// phone scans, confirms, refuses or lets it expire, and the session its
// confirmation gives; and the control endpoint that stands for the phone.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "booking/client.h"
#include "booking/requests.h"
#include "net/cookies.h"
#include "support/qr_decoder.h"
#include "support/sim_harness.h"
#include "util/codepage.h"

namespace quillet {
namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class QrSignInTest : public ::testing::Test {
 protected:
  explicit QrSignInTest(std::vector<std::string> simArgs = {}) : sim_(std::move(simArgs)) {}
  void SetUp() override { ASSERT_TRUE(sim_.Running()); }

  QrCodeState StateOf(const std::string& uuid) {
    const QrStateResult check = client_.CheckQrCode(uuid);
    EXPECT_TRUE(check.Done()) << Utf8FromGbk(check.message);
    return check.state;
  }

  test::SimProcess sim_;
  CookieJar jar_;
  BookingClient client_{sim_.BaseUrl(), jar_};
};

TEST_F(QrSignInTest, ConfirmedCodeGivesTheSignedInSession) {
  ASSERT_EQ(client_.CheckUser().kind, ServiceResultKind::kRefused);
  const QrCodeResult code = client_.CreateQrCode();
  ASSERT_TRUE(code.Done()) << Utf8FromGbk(code.message);
  EXPECT_EQ(code.content, QrSignInContent(code.uuid));
  // The service's picture is a QR code of that content.
  EXPECT_EQ(test::DecodeQrPicture(code.picture), code.content);

  EXPECT_EQ(StateOf(code.uuid), QrCodeState::kWaiting);
  EXPECT_TRUE(Has(sim_.ScanQrCode(code.uuid, "demo", ""), "\"state\":\"scanned\""));
  EXPECT_EQ(StateOf(code.uuid), QrCodeState::kScanned);
  EXPECT_EQ(client_.FinishQrSignIn().kind, ServiceResultKind::kRefused) << "not confirmed yet";
  EXPECT_TRUE(Has(sim_.ScanQrCode(code.uuid, "demo", "true"), "\"state\":\"confirmed\""));
  EXPECT_EQ(StateOf(code.uuid), QrCodeState::kConfirmed);

  const ServiceResult signedIn = client_.FinishQrSignIn();
  EXPECT_TRUE(signedIn.Done()) << Utf8FromGbk(signedIn.message);
  EXPECT_TRUE(client_.CheckUser().Done());
  const PassengersResult passengers = client_.LoadPassengers();
  ASSERT_TRUE(passengers.Done());
  EXPECT_EQ(passengers.passengers.size(), 4u);
  // The passport token is exchanged once.
  EXPECT_EQ(client_.FinishQrSignIn().kind, ServiceResultKind::kRefused);
}

TEST_F(QrSignInTest, RefusedAndUnknownCodesSayWhy) {
  const QrCodeResult code = client_.CreateQrCode();
  ASSERT_TRUE(code.Done());
  EXPECT_TRUE(Has(sim_.ScanQrCode(code.uuid, "demo", "false"), "\"state\":\"refused\""));
  const QrStateResult refused = client_.CheckQrCode(code.uuid);
  ASSERT_TRUE(refused.Done());
  EXPECT_EQ(refused.state, QrCodeState::kRefused);
  EXPECT_FALSE(refused.message.empty());
  EXPECT_EQ(client_.FinishQrSignIn().kind, ServiceResultKind::kRefused);
  EXPECT_EQ(client_.CheckUser().kind, ServiceResultKind::kRefused);
  EXPECT_EQ(StateOf("no-such-code"), QrCodeState::kUnknown);
}

TEST_F(QrSignInTest, ScanControlRefusesWhatAPhoneCouldNotDo) {
  const QrCodeResult code = client_.CreateQrCode();
  ASSERT_TRUE(code.Done());
  struct Case {
    const char* name;
    std::string id, account, confirm;
    int status;
  };
  const Case cases[] = {
      {"unknown code", "no-such-code", "demo", "true", 404},
      {"unknown account", code.uuid, "nobody", "true", 400},
      {"confirm not a truth value", code.uuid, "demo", "\"yes\"", 400},
      {"confirmed", code.uuid, "demo", "true", 200},
      {"confirmed twice", code.uuid, "demo", "true", 409},
      {"refused after confirming", code.uuid, "demo", "false", 409},
  };
  for (const Case& c : cases) {
    int status = 0;
    const std::string answer = sim_.ScanQrCode(c.id, c.account, c.confirm, &status);
    EXPECT_EQ(status, c.status) << c.name << ": " << answer;
  }
  EXPECT_EQ(sim_.PostForm("/sim/qr/scan", {{"id", code.uuid}}).find("\"error\""), 1u) << "a form is not JSON";
}

class ShortQrLifeTest : public QrSignInTest {
 protected:
  ShortQrLifeTest() : QrSignInTest({"--qr-ttl", "1"}) {}
};

TEST_F(ShortQrLifeTest, AnUnconfirmedCodeExpiresAndCannotBeScannedAfterwards) {
  const QrCodeResult code = client_.CreateQrCode();
  ASSERT_TRUE(code.Done());
  EXPECT_TRUE(Has(sim_.ScanQrCode(code.uuid, "demo", ""), "scanned"));
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  EXPECT_EQ(StateOf(code.uuid), QrCodeState::kExpired);
  int status = 0;
  sim_.ScanQrCode(code.uuid, "demo", "true", &status);
  EXPECT_EQ(status, 409);
  // A new code lives on its own clock.
  const QrCodeResult next = client_.CreateQrCode();
  ASSERT_TRUE(next.Done());
  EXPECT_NE(next.uuid, code.uuid);
  EXPECT_EQ(StateOf(next.uuid), QrCodeState::kWaiting);
}

}  // namespace
}  // namespace quillet
