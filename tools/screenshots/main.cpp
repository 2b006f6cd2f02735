// Renders the README's pictures of the program: the real main window and
// order dialog, driven through a whole rehearsal against quillet-sim on the
// offscreen platform, saved as PNG files.
//
//   quillet-screenshots --sim PATH/quillet-sim --out docs/screenshots
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "booking/service_paths.h"
#include "net/http.h"
#include "session/session.h"
#include "ui/controls.h"
#include "ui/main_window.h"
#include "ui/order_pages.h"
#include "ui/purchase_page.h"
#include "util/codepage.h"

namespace {

using quillet::FindControl;

QProcess* g_simProcess = nullptr;  // stopped on a failure exit too

[[noreturn]] void Fail(const QString& why) {
  std::fprintf(stderr, "quillet-screenshots: %s\n", why.toLocal8Bit().constData());
  if (g_simProcess) {
    g_simProcess->kill();
    g_simProcess->waitForFinished(2000);
  }
  std::exit(1);
}

void WaitFor(const QString& what, const std::function<bool()>& done, int ms = 20000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) Fail(QStringLiteral("timed out waiting for ") + what);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

void Settle(int ms = 150) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

template <typename T>
T* Control(QWidget* window, const QString& name) {
  T* control = FindControl<T>(window, name);
  if (!control) Fail(QStringLiteral("no control ") + name);
  return control;
}

void Save(QWidget* widget, const QDir& out, const QString& file) {
  Settle();
  const QString path = out.filePath(file);
  if (!widget->grab().save(path, "PNG")) Fail(QStringLiteral("cannot write ") + path);
  std::printf("wrote %s\n", path.toLocal8Bit().constData());
}

void Pick(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

void Press(QWidget* widget) {
  const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
  QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
  QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, {}, {});
  QCoreApplication::sendEvent(widget, &press);
  QCoreApplication::sendEvent(widget, &release);
}

// quillet-sim on a free loopback port, with fixed captcha tiles 2 and 7 and
// no tickets coming back on their own.
class Sim {
 public:
  explicit Sim(const QString& program) {
    process_.setProgram(program);
    process_.setArguments({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--control"),
                           QStringLiteral("--seed"), QStringLiteral("7"), QStringLiteral("--captcha-cells"),
                           QStringLiteral("2,7"), QStringLiteral("--release-every"), QStringLiteral("0")});
    process_.start();
    g_simProcess = &process_;
    if (!process_.waitForStarted(5000)) Fail(QStringLiteral("cannot start ") + program);
    QElapsedTimer clock;
    clock.start();
    while (!process_.canReadLine()) {
      if (clock.elapsed() > 10000 || !process_.waitForReadyRead(200)) {
        if (clock.elapsed() > 10000 || process_.state() != QProcess::Running)
          Fail(QStringLiteral("quillet-sim did not start"));
      }
    }
    const QString line = QString::fromUtf8(process_.readLine()).trimmed();
    if (!line.startsWith(QStringLiteral("listening on "))) Fail(QStringLiteral("unexpected first line: ") + line);
    url_ = line.mid(13).toStdString();
  }
  ~Sim() {
    g_simProcess = nullptr;
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
  }
  const std::string& Url() const { return url_; }

  void Release(const QString& date, const QString& train, const char* seat, int count) const {
    quillet::CookieJar jar;
    quillet::HttpRequest request;
    request.url = url_ + "/sim/release";
    request.method = "POST";
    request.bodyText = "date=" + date.toStdString() + "&train=" + train.toStdString() + "&seat=" + seat +
                       "&count=" + std::to_string(count);
    quillet::SendHttpRequest(request, jar);
  }

 private:
  QProcess process_;
  std::string url_;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The service's times are China Standard Time.
  if (qEnvironmentVariableIsEmpty("TZ")) qputenv("TZ", "CST-8");
  QApplication app(argc, argv);

  QString simPath, outPath = QStringLiteral("docs/screenshots");
  const QStringList args = QCoreApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == QStringLiteral("--sim") && i + 1 < args.size()) {
      simPath = args[++i];
    } else if (args[i] == QStringLiteral("--out") && i + 1 < args.size()) {
      outPath = args[++i];
    } else {
      std::fprintf(stderr, "usage: quillet-screenshots --sim PATH/quillet-sim [--out FOLDER]\n");
      return 2;
    }
  }
  if (simPath.isEmpty()) Fail(QStringLiteral("--sim is required"));
  QDir out(outPath);
  if (!out.mkpath(QStringLiteral("."))) Fail(QStringLiteral("cannot create ") + outPath);

  Sim sim(simPath);
  quillet::SessionSettings settings;
  settings.service.address = sim.Url();
  auto session = std::make_unique<quillet::Session>(settings);
  auto window = std::make_unique<quillet::MainWindow>(*session);
  QWidget* w = window.get();
  window->show();
  auto* tabs = Control<QTabWidget>(w, QStringLiteral("高级选择夹1"));

  // Sign-in with the captcha panel open and two cells marked.
  Control<QLineEdit>(w, QStringLiteral("编辑框1"))->setText(QStringLiteral("demo"));
  Control<QLineEdit>(w, QStringLiteral("编辑框2"))->setText(QStringLiteral("demo1234"));
  Control<QPushButton>(w, QStringLiteral("超级按钮1"))->click();
  auto* picture = Control<QLabel>(w, QStringLiteral("图片框1"));
  WaitFor(QStringLiteral("the captcha"), [&] { return !picture->pixmap().isNull(); });
  Press(Control<QLabel>(w, QStringLiteral("透明标签8")));   // cell 2
  Press(Control<QLabel>(w, QStringLiteral("透明标签13")));  // cell 7
  Save(w, out, QStringLiteral("sign-in.png"));
  Control<QPushButton>(w, QStringLiteral("超级按钮3"))->click();
  WaitFor(QStringLiteral("the sign-in"),
          [&] { return !Control<QPushButton>(w, QStringLiteral("超级按钮1"))->isEnabled(); });
  auto* passengers = Control<QTreeWidget>(w, QStringLiteral("超级列表框1"));
  WaitFor(QStringLiteral("the passengers"), [&] { return passengers->topLevelItemCount() >= 4; });

  // A query from Beijing to Shanghai three days ahead.
  const auto pickStation = [&](const QString& box, const QString& list, const QString& name, const QString& entry) {
    Control<QLineEdit>(w, box)->setText(name);
    auto* suggestions = Control<QComboBox>(w, list);
    const int index = suggestions->findText(entry);
    if (index < 0) Fail(QStringLiteral("no station entry ") + entry);
    Pick(suggestions, index);
  };
  pickStation(QStringLiteral("编辑框3"), QStringLiteral("组合框1"), QStringLiteral("北京"), QStringLiteral("北京|BJP"));
  pickStation(QStringLiteral("编辑框4"), QStringLiteral("组合框2"), QStringLiteral("上海"), QStringLiteral("上海|SHH"));
  const QDate travel = QDateTime::currentDateTimeUtc().addSecs(8 * 3600).date().addDays(3);
  const QString date = travel.toString(QStringLiteral("yyyy-MM-dd"));
  Control<QDateEdit>(w, QStringLiteral("日期框1"))->setDate(travel);
  Control<QPushButton>(w, QStringLiteral("超级按钮4"))->click();
  WaitFor(QStringLiteral("the query"), [&] {
    return Control<QGroupBox>(w, QStringLiteral("分组框2"))->title().startsWith(QStringLiteral("出发日期:"));
  });
  Save(w, out, QStringLiteral("query.png"));

  // The order dialog for a bookable train with first and second class.
  auto* grid = Control<QTableWidget>(w, QStringLiteral("高级表格1"));
  int row = -1;
  for (int r = 1; r < grid->rowCount() && row < 0; ++r)
    if (quillet::GridCellText(grid, r, 13) == QStringLiteral("√") &&
        quillet::GridCellText(grid, r, 5) != QStringLiteral("--") &&
        quillet::GridCellText(grid, r, 6) != QStringLiteral("--"))
      row = r;
  if (row < 0) Fail(QStringLiteral("no bookable train with first and second class"));
  const QString train = quillet::GridCellText(grid, row, 0);
  sim.Release(date, train, "M", 0);
  sim.Release(date, train, "O", 0);
  grid->setCurrentCell(row, 0);
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) Fail(QStringLiteral("the order dialog did not open"));
    Pick(Control<QComboBox>(dialog, QStringLiteral("组合框1")), 0);
    Pick(Control<QComboBox>(dialog, QStringLiteral("组合框2")), 0);
    Control<QCheckBox>(dialog, QStringLiteral("选择框2"))->click();
    Control<QCheckBox>(dialog, QStringLiteral("选择框3"))->click();
    Save(dialog, out, QStringLiteral("order-dialog.png"));
    Control<QPushButton>(dialog, QStringLiteral("超级按钮2"))->click();
    if (dialog->isVisible()) Fail(QStringLiteral("the order dialog did not take the wish"));
  });
  window->Purchase().OnTrainGridDoubleClicked();

  // Page 2 while grabbing: a few attempts on sold-out classes, then a
  // released ticket is booked.
  auto* log = Control<QPlainTextEdit>(w, QStringLiteral("编辑框5"));
  auto* attempts = Control<QLabel>(w, QStringLiteral("透明标签20"));
  Control<QPushButton>(w, QStringLiteral("超级按钮5"))->click();
  WaitFor(QStringLiteral("a few attempts"), [&] { return attempts->text().mid(5).toInt() >= 3; });
  sim.Release(date, train, "O", 1);
  WaitFor(QStringLiteral("the booking"), [&] { return log->toPlainText().contains(QStringLiteral("购票成功")); });
  Save(w, out, QStringLiteral("grabbing.png"));

  // Page 3: the booked order, read from a file holding the service's answer.
  QTemporaryDir folder;
  const QString orderFile = folder.filePath(QStringLiteral("1.txt"));
  {
    quillet::HttpRequest request;
    request.url = sim.Url() + quillet::service_paths::kUnfinishedOrders;
    request.method = "POST";
    request.bodyText = "_json_att=";
    const std::string answer = quillet::SendHttpRequest(request, session->Client().Cookies()).body;
    QFile file(orderFile);
    if (!file.open(QIODevice::WriteOnly)) Fail(QStringLiteral("cannot write the order file"));
    file.write(QByteArray::fromStdString(quillet::GbkFromUtf8(answer)));
  }
  auto* orders = w->findChild<quillet::OrderPages*>();
  if (!orders) Fail(QStringLiteral("no order pages"));
  orders->SetOrderFilePath(orderFile);
  tabs->setCurrentIndex(2);
  Control<QPushButton>(w, QStringLiteral("超级按钮7"))->click();
  Control<QPushButton>(w, QStringLiteral("超级按钮8"))->click();
  orders->OnDeadlineTick();
  Save(w, out, QStringLiteral("orders.png"));

  tabs->setCurrentIndex(3);
  Save(w, out, QStringLiteral("completed-orders.png"));

  window->close();
  window.reset();
  session.reset();
  return 0;
}
