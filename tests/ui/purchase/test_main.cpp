// Qt Widgets tests run on the offscreen platform unless told otherwise.
#include <gtest/gtest.h>

#include <QApplication>
#include <ctime>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The service's times are China Standard Time; run in that zone, as its users do.
  if (qEnvironmentVariableIsEmpty("TZ")) {
    qputenv("TZ", "CST-8");
    tzset();
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
