#include "transfer/transfer_worker_win32.h"

#include "transfer/pacing_sleeper_win32.h"
#include "transfer/performance_counter_win32.h"

namespace {

// Keeps the machine from sleeping while this thread sends the firmware.
class SystemAwakeScope {
 public:
  SystemAwakeScope() { SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED); }
  ~SystemAwakeScope() { SetThreadExecutionState(ES_CONTINUOUS); }
  SystemAwakeScope(const SystemAwakeScope&) = delete;
  SystemAwakeScope& operator=(const SystemAwakeScope&) = delete;
};

}  // namespace

TransferWorker::~TransferWorker() {
  RequestStop();
  Join();
}

bool TransferWorker::Start(TransferView& view, UpdateState& state, CRQDataPlay& player, IqBUSPort& port) {
  if (thread_.started()) return false;  // one transfer per worker
  view_ = &view;
  state_ = &state;
  player_ = &player;
  port_ = &port;
  return thread_.Start(WorkerThread::Priority::kHighest, &TransferWorker::Run, this);
}

void TransferWorker::Run(void* self) {
  auto& worker = *static_cast<TransferWorker*>(self);
  try {
    const SystemAwakeScope awake;
    PerformanceCounterClock counter;  // fresh: its first reading is the transfer's start
    HighResolutionSleeper sleeper;
    const TransferJob job{*worker.view_, *worker.state_, *worker.player_, *worker.port_, worker.stop_, &worker.calls_};
    TransferThread(job, counter, worker.pacing_ == Pacing::kSpin ? nullptr : &sleeper);
  } catch (...) {
    // Only the set-up above can get here (TransferThread catches its own):
    // nothing crosses the thread's boundary, and the dialog may close.
    worker.state_->statusCode = status::Error(status::kCommunicationError);
    worker.state_->busy = 0;
  }
}
