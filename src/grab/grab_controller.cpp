#include "grab/grab_controller.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <system_error>

#include "booking/client.h"
#include "grab/texts.h"
#include "util/text.h"

namespace quillet {
namespace {

struct SeatTypeRow {
  const std::string& (*name)();
  const char* code;
  std::string TrainRecord::*tickets;
};

// Names and codes as the service knows them; the order of the rows does not
// matter (a worker tries the classes in the user's order).
const SeatTypeRow kSeatTypeTable[] = {
    {grab_texts::BusinessSeat, "9", &TrainRecord::businessSeat},
    {grab_texts::DeluxeEmuSleeper, "A", &TrainRecord::softSeat},
    {grab_texts::EmuSleeper, "5", &TrainRecord::softSleeper},
    {grab_texts::DeluxeSoftSleeper, "6", &TrainRecord::deluxeSoftSleeper},
    {grab_texts::FirstClassSeat, "M", &TrainRecord::firstClassSeat},
    {grab_texts::SecondClassSeat, "O", &TrainRecord::secondClassSeat},
    {grab_texts::SoftSleeper, "4", &TrainRecord::softSleeper},
    {grab_texts::HardSleeper, "3", &TrainRecord::hardSleeper},
    {grab_texts::SoftSeat, "2", &TrainRecord::softSeat},
    {grab_texts::HardSeat, "1", &TrainRecord::hardSeat},
};

// Sleeps for `duration` unless stop is requested first; false when stopped.
bool WaitUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds duration) {
  std::mutex mutex;
  std::condition_variable_any wakeUp;
  std::unique_lock lock(mutex);
  wakeUp.wait_for(lock, stop, duration, [] { return false; });
  return !stop.stop_requested();
}

std::string ResultLine(const std::string& prefix, const GrabTask& task) {
  return prefix + task.trainDate + grab_texts::TrainPart() + task.stationTrainCode + grab_texts::PassengerPart() +
         task.passengerName + "\r\n";
}

bool SoldOut(const std::string& ticketsText) { return ticketsText == "--" || ticketsText == grab_texts::NoTickets(); }

}  // namespace

std::string SeatCodeForName(const std::string& seatName) {
  for (const SeatTypeRow& row : kSeatTypeTable) {
    if (row.name() == seatName) return row.code;
  }
  return {};
}

bool SeatTicketsFor(const TrainRecord& train, const std::string& seatCode, std::string& ticketsText) {
  for (const SeatTypeRow& row : kSeatTypeTable) {
    if (seatCode == row.code) {
      ticketsText = train.*row.tickets;
      return true;
    }
  }
  return false;
}

std::string BuildSeatCodes(const std::string& seatOrderText) {
  std::string codes;
  for (const std::string& piece : SplitText(seatOrderText, ",")) {
    if (piece.empty()) continue;
    const std::vector<std::string> parts = SplitText(piece, "|");
    const std::string code = parts.empty() ? std::string() : SeatCodeForName(parts[0]);
    if (code.empty()) continue;
    codes += code + "|" + (parts.size() > 1 ? parts[1] : std::string()) + ",";
  }
  return codes;
}

GrabTask ReadTaskRow(GrabView& view, int row) {
  GrabTask task;
  task.passengerName = TextBefore(view.TaskCellText(row, 4), "(");
  task.passengerType = TextBetween(view.TaskCellText(row, 4), "[", "]");
  task.ticketType = TextBetween(view.TaskCellText(row, 5), "(", ")");
  task.idType = TextBetween(view.TaskCellText(row, 6), "[", "]");
  task.idNo = TextBetween(view.TaskCellText(row, 6), "(", ")");
  task.fromStationName = TextBefore(view.TaskCellText(row, 1), "|");
  task.fromTelecode = TextAfterLast(view.TaskCellText(row, 1), "|");
  task.toStationName = TextBefore(view.TaskCellText(row, 2), "|");
  task.toTelecode = TextAfterLast(view.TaskCellText(row, 2), "|");
  task.trainDate = view.TaskCellText(row, 3);
  task.seatCodes = BuildSeatCodes(view.TaskCellText(row, 7));
  task.stationTrainCode = view.TaskCellText(row, 0);
  return task;
}

struct GrabController::Impl {
  // A launcher or worker thread. `finished` is set as the thread's last act,
  // so joining a finished thread does not wait.
  struct Handle {
    std::thread thread;
    std::atomic<bool> finished{false};
  };

  Impl(BookingClient& c, GrabView& v, std::string backTrainDate, GrabPacing p)
      : client(c), view(v), pacing(p), chainSettings{std::move(backTrainDate), p.orderPollWait} {}

  BookingClient& client;
  GrabView& view;
  const GrabPacing pacing;
  const OrderChainSettings chainSettings;
  std::atomic<int> runningWorkers{0};

  std::mutex mutex;  // guards the three fields below
  std::vector<std::unique_ptr<Handle>> handles;
  std::vector<std::stop_source> starts;  // one per start not yet stopped
  bool closing = false;

  // Caller holds `mutex`. False when the system refuses another thread.
  template <typename Body>
  bool LaunchLocked(Body body) {
    auto handle = std::make_unique<Handle>();
    Handle* raw = handle.get();
    try {
      raw->thread = std::thread([raw, body = std::move(body)]() mutable {
        body();
        raw->finished.store(true, std::memory_order_release);
      });
    } catch (const std::system_error&) {
      return false;
    }
    handles.push_back(std::move(handle));
    return true;
  }

  // Caller holds `mutex`. Moves the handles of ended threads to `ended`, to be
  // joined after the lock is released.
  void TakeEndedLocked(std::vector<std::unique_ptr<Handle>>& ended) {
    std::erase_if(handles, [&](std::unique_ptr<Handle>& handle) {
      if (!handle->finished.load(std::memory_order_acquire)) return false;
      ended.push_back(std::move(handle));
      return true;
    });
  }

  static void Join(std::vector<std::unique_ptr<Handle>>& ended) {
    for (auto& handle : ended) {
      if (handle->thread.joinable()) handle->thread.join();
    }
    ended.clear();
  }

  void RunLauncher(std::stop_token stop) {
    const int rowCount = view.TaskRowCount();
    for (int row = 0; row < rowCount; ++row) {
      std::lock_guard lock(mutex);
      if (stop.stop_requested()) return;
      runningWorkers.fetch_add(1);
      const bool launched = LaunchLocked([this, stop, row] {
        RunWorker(stop, row);
        runningWorkers.fetch_sub(1);
      });
      if (!launched) runningWorkers.fetch_sub(1);
    }
    // A start that was stopped while launching does not announce itself.
    if (!stop.stop_requested()) view.AppendLog(grab_texts::GrabStartedLine());
  }

  void RunWorker(const std::stop_token& stop, int row) {
    GrabTask task = ReadTaskRow(view, row);
    const bool studentPurpose = task.ticketType == "3";
    std::uint32_t attempts = 0;
    std::vector<TrainRecord> trains;

    while (!stop.stop_requested()) {
      ++attempts;
      view.SetAttemptCaption(grab_texts::AttemptCaptionPrefix() + std::to_string(attempts));

      trains.clear();
      std::string fromStation = task.fromTelecode;
      std::string toStation = task.toTelecode;
      const std::string queryResult =
          client.QueryLeftTickets(studentPurpose, task.trainDate, fromStation, toStation, trains, stop);
      if (stop.stop_requested()) return;
      if (queryResult != grab_texts::Success()) {
        if (!WaitUnlessStopped(stop, pacing.afterFailedQuery)) return;
        continue;
      }

      const TrainRecord* train = nullptr;
      for (const TrainRecord& candidate : trains) {
        if (candidate.stationTrainCode == task.stationTrainCode) {
          train = &candidate;
          break;
        }
      }
      if (train != nullptr && TryOrder(stop, task, *train)) return;
      if (!WaitUnlessStopped(stop, pacing.afterIdlePass)) return;
    }
  }

  // Runs the order chain for each wanted seat class with tickets left, in the
  // user's order. True when the worker is done: a ticket was booked, the
  // outcome needs a manual check, or grabbing was stopped.
  bool TryOrder(const std::stop_token& stop, GrabTask& task, const TrainRecord& train) {
    for (const std::string& piece : SplitText(task.seatCodes, ",")) {
      if (piece.empty()) continue;
      const std::vector<std::string> parts = SplitText(piece, "|");
      const std::string seatCode = parts.empty() ? std::string() : parts[0];
      std::string ticketsText;
      if (!SeatTicketsFor(train, seatCode, ticketsText) || SoldOut(ticketsText)) continue;
      if (stop.stop_requested()) return true;

      task.trainNo = train.trainNo;
      task.secretStr = train.secretStr;
      task.leftTicket = train.leftTicket;
      task.trainLocation = train.trainLocation;
      task.seatType = seatCode;
      const std::string result = RunOrderChain(client, task, chainSettings, stop);

      if (FindText(result, grab_texts::Manual()) != kNotFound) {
        view.AppendLog(ResultLine(grab_texts::ManualLinePrefix(), task));
        return true;
      }
      if (result == grab_texts::Success()) {
        view.AppendLog(ResultLine(grab_texts::BookedLinePrefix(), task));
        if (task.seatType == "1") view.SetStartButtonEnabled(true);
        return true;
      }
    }
    return stop.stop_requested();
  }
};

GrabController::GrabController(BookingClient& client, GrabView& view, std::string backTrainDate, GrabPacing pacing)
    : impl_(std::make_unique<Impl>(client, view, std::move(backTrainDate), pacing)) {}

GrabController::~GrabController() { StopAndJoinAll(); }

void GrabController::StartGrabbing() {
  std::vector<std::unique_ptr<Impl::Handle>> ended;
  {
    std::lock_guard lock(impl_->mutex);
    if (impl_->closing) return;
    impl_->TakeEndedLocked(ended);
    std::stop_source start;
    impl_->starts.push_back(start);
    impl_->LaunchLocked([impl = impl_.get(), stop = start.get_token()] { impl->RunLauncher(stop); });
  }
  Impl::Join(ended);
}

void GrabController::StopGrabbing() {
  std::vector<std::unique_ptr<Impl::Handle>> ended;
  {
    std::lock_guard lock(impl_->mutex);
    for (std::stop_source& start : impl_->starts) start.request_stop();
    impl_->starts.clear();
    impl_->TakeEndedLocked(ended);
  }
  Impl::Join(ended);
  impl_->view.SetStartButtonEnabled(true);
}

void GrabController::StopAndJoinAll() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->closing = true;
    for (std::stop_source& start : impl_->starts) start.request_stop();
    impl_->starts.clear();
  }
  // Launchers check their stop under the lock before each worker they start,
  // so once they are all stopped the list can only shrink.
  for (;;) {
    std::vector<std::unique_ptr<Impl::Handle>> all;
    {
      std::lock_guard lock(impl_->mutex);
      all.swap(impl_->handles);
    }
    if (all.empty()) break;
    Impl::Join(all);
  }
}

int GrabController::RunningWorkerCount() const { return impl_->runningWorkers.load(); }

}  // namespace quillet
