#include "transfer/transfer_thread_win32.h"

#include "transfer/performance_counter_win32.h"

TransferWorker::~TransferWorker() {
  RequestStop();
  Join();
}

bool TransferWorker::Start(ITransferView& view, UpdateState& state, CRQDataPlay& player, IqBUSPort& port) {
  if (started_) return false;
  view_ = &view;
  state_ = &state;
  player_ = &player;
  port_ = &port;

  // Suspended first, so that not one instruction of the transfer runs at a
  // lower priority.
  HANDLE thread = CreateThread(nullptr, 0, &TransferWorker::ThreadProc, this, CREATE_SUSPENDED, nullptr);
  if (thread == nullptr) return false;
  started_ = true;
  thread_.Reset(thread);
  SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);  // a failure still leaves a working transfer
  ResumeThread(thread);
  return true;
}

void TransferWorker::Join() {
  const HANDLE thread = thread_.get();
  if (thread == nullptr) return;
  for (;;) {
    const DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woken != WAIT_OBJECT_0 + 1) break;  // ended, or the wait itself failed
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // handles sent messages
  }
  thread_.Reset(nullptr);
}

DWORD WINAPI TransferWorker::ThreadProc(LPVOID parameter) {
  auto& self = *static_cast<TransferWorker*>(parameter);
  try {
    PerformanceCounterClock counter;  // fresh: its first reading is the transfer's start
    const TransferJob job{*self.view_, *self.state_, *self.player_, *self.port_, self.stop_};
    return TransferThread(job, counter);
  } catch (...) {
    // Nothing crosses the thread's boundary; the operator sees a failed transfer.
    self.state_->statusCode = status::Error(status::kCommunicationError);
    self.state_->busy = 0;
    return 0;
  }
}
