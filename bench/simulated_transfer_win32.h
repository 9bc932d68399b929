// A transfer into the simulated driver service for the pacing benchmark, put
// together from the program's own pieces: the COM factory, the device search
// on its worker thread and the transfer worker, with views that record what
// the workers do instead of a dialog.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "device/com_service_factory_win32.h"
#include "device/device_discovery.h"
#include "device/driver_thread_win32.h"
#include "sim/sim_folder_win32.h"
#include "state/update_state.h"
#include "transfer/transfer_worker_win32.h"

namespace simulated {

inline std::uint64_t PerformanceTicks() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<std::uint64_t>(now.QuadPart);
}

// COM on this thread for the object's life, as on the dialog's thread.
class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool ok() const { return SUCCEEDED(result_); }

 private:
  HRESULT result_;
};

// One t6 of the maker with its "FIRM" port as port 9.
constexpr char kT6WithFirmPort[] = "node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\n";

// Called from the search worker's thread while the caller polls.
class RecordingSearchView final : public DeviceSearchView {
 public:
  void DisableBrowse() override { Record("browse off"); }
  void SetStatusText(const char* text) override { Record(std::string("status ") + text); }
  void DeviceReady(const char* portName) override {
    Record(std::string("ready ") + portName);
    portShown_.store(true);
  }

  bool PortShown() const { return portShown_.load(); }
  std::vector<std::string> Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }

 private:
  void Record(std::string event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
  }

  mutable std::mutex mutex_;
  std::vector<std::string> events_;
  std::atomic<bool> portShown_{false};
};

// The program's device discovery on the driver's thread, with its real
// pauses. The thread holds the driver objects until the discovery is destroyed.
class Discovery {
 public:
  Discovery(UpdateState& state, DeviceLink& link, RecordingSearchView& view)
      : state_(state), link_(link), view_(view) {}

  // Polls until the port is shown, the search gives up, or boundMs pass.
  bool Find(std::uint32_t boundMs) {
    if (!driver_.Search(factory_, DeviceSearch{state_, link_, view_})) return false;
    const ULONGLONG start = GetTickCount64();
    while (!view_.PortShown() && !status::IsError(state_.statusCode.load()) && GetTickCount64() - start < boundMs) {
      Sleep(20);
    }
    return view_.PortShown() && link_.port;
  }

 private:
  UpdateState& state_;
  DeviceLink& link_;
  RecordingSearchView& view_;
  ComServiceFactory factory_;
  DriverThread driver_;  // last: its destructor stops, releases and joins
};

// Notes when the range is set: Play sets it just before it takes the reading
// that its due times count from.
class RecordingProgressBar final : public ProgressBar {
 public:
  void SetRange(std::uint16_t minimum, std::uint16_t maximum) override {
    rangeTicks = PerformanceTicks();
    ++rangeCalls;
    rangeMinimum = minimum;
    rangeMaximum = maximum;
  }
  void SetPos(std::uint32_t position) override {
    ++posCalls;
    lastPos = position;
  }

  std::uint64_t rangeTicks = 0;
  int rangeCalls = 0;
  std::uint16_t rangeMinimum = 0;
  std::uint16_t rangeMaximum = 0;
  int posCalls = 0;
  std::uint32_t lastPos = 0;
};

// Written by the transfer worker only; read after it has been joined.
class RecordingTransferView final : public TransferView {
 public:
  void EnableBrowse(bool enable) override { browseEnabled = enable; }
  void EnableStart(bool enable) override { startEnabled = enable; }
  void SetStatusText(const char* text) override { statusTexts.emplace_back(text); }
  ProgressBar& Progress() override { return progress; }
  void Beep() override { ++beeps; }
  void OfferClose(bool finished) override {
    startEnabled = true;
    closeOffered = finished ? "finished" : "failed";
  }

  bool browseEnabled = true;
  bool startEnabled = true;
  std::string closeOffered;
  std::vector<std::string> statusTexts;
  int beeps = 0;
  RecordingProgressBar progress;
};

// One transfer on the program's worker thread, as the dialog's Start runs it.
inline bool RunTransfer(UpdateState& state, CRQDataPlay& player, IqBUSPort& port, RecordingTransferView& view,
                        TransferWorker::Pacing pacing = TransferWorker::Pacing::kSleepThenSpin) {
  state.busy = 1;
  TransferWorker worker(pacing);
  if (!worker.Start(view, state, player, port)) {
    state.busy = 0;
    return false;
  }
  worker.Join();
  return true;
}

// Whole milliseconds of a tick count at 500000 microseconds per quarter note,
// computed here, apart from the player.
inline std::uint64_t DueMillisecondsAtDefaultTempo(std::uint32_t ticks, std::uint16_t division) {
  return static_cast<std::uint64_t>(ticks) * 500000u / (static_cast<std::uint64_t>(division) * 1000u);
}

}  // namespace simulated
