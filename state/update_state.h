// The fields the dialog holds for the whole run and its two workers share.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "state/status_code.h"

class CtUpdateDlg;
class CRQDataPlay;

// The block handed to a worker thread; it lives in the dialog.
struct WorkerParameter {
  CtUpdateDlg* dialog = nullptr;
  CRQDataPlay* player = nullptr;  // the transfer worker's player
};

struct UpdateState {
  static constexpr std::uint32_t kDefaultTempo = 500000;  // microseconds per quarter note

  std::string filePath;
  std::uint32_t tempo = kDefaultTempo;
  // Written by the workers while the dialog thread reads them.
  std::atomic<StatusCode> statusCode{status::kReady};
  std::uint32_t retryLimitOn = 1;
  std::atomic<InterfaceKind> interfaceKind{kInterfaceFW};  // the search's worker obtains the service
  std::atomic<std::uint32_t> busy{0};
  WorkerParameter workerParameter;
};
