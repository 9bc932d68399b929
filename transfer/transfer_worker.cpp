#include "transfer/transfer_worker.h"

#include "state/status_messages.h"

std::uint32_t TransferThread(const TransferJob& job, IMillisecondCounter& counter) {
  job.view.EnableBrowse(false);
  job.view.EnableStart(false);
  job.view.SetStatusText(text::kInstalling);

  job.player.Play(job.view.ProgressBar(), job.state.tempo, TransferLink{job.port, counter, job.stop});

  const bool finished = job.player.error() == CSMF::kOk;
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
  return 0;
}
