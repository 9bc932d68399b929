#include "transfer/transfer_thread.h"

#include "state/status_messages.h"

namespace {

// Begins the sleeper for the transfer and ends it on every way out.
class PacingScope {
 public:
  explicit PacingScope(PacingSleeper* sleeper) : sleeper_(sleeper) {
    if (sleeper_ != nullptr) sleeper_->Begin();
  }
  ~PacingScope() {
    if (sleeper_ != nullptr) sleeper_->End();
  }
  PacingScope(const PacingScope&) = delete;
  PacingScope& operator=(const PacingScope&) = delete;

 private:
  PacingSleeper* sleeper_;
};

// The outcome in the update state, on the status line and with a beep;
// then Start is offered as "Close".
void RecordOutcome(const TransferJob& job, bool finished) {
  if (!finished) {
    const StatusCode code = status::Error(status::kCommunicationError);
    job.state.statusCode = code;
    job.view.SetStatusText(StatusMessage(code, job.state.interfaceKind));
  } else {
    job.view.SetStatusText(text::kTransferComplete);
    job.state.statusCode = status::kRebooting;
  }
  job.view.Beep();
  // The file must not be reloaded into the player; with a nonzero status code
  // Start closes the dialog.
  job.view.EnableBrowse(false);
  job.state.busy = 0;
  job.view.OfferClose(finished);
}

}  // namespace

std::uint32_t TransferThread(const TransferJob& job, MillisecondCounter& counter, PacingSleeper* sleeper) {
  bool finished = false;
  try {
    job.view.EnableBrowse(false);
    job.view.EnableStart(false);
    job.view.SetStatusText(text::kInstalling);
    const PacingScope pacing(sleeper);
    job.player.Play(job.view.Progress(), job.state.tempo,
                    TransferLink{job.port, counter, job.stop, sleeper, job.calls});
    finished = job.player.error() == CSMF::kOk;
  } catch (...) {
    // Whatever failed, the transfer did not finish: it ends like a failed write.
  }
  try {
    RecordOutcome(job, finished);
  } catch (...) {
    // The view itself failed: the dialog still learns the outcome and may close.
    job.state.statusCode = finished ? status::kRebooting : status::Error(status::kCommunicationError);
    job.state.busy = 0;
  }
  return 0;
}
