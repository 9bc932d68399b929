// The real updater executable started as its own process, against the
// simulated driver service, and driven from outside by the automated
// operator: it knows the program only by its window and controls.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/handles_win32.h"
#include "sim/sim_folder_win32.h"
#include "sim/sim_report.h"
#include "tools/operator/operator_win32.h"
#include "tools/smf_builder.h"
#include "tools/temp_file.h"

namespace e2e {

constexpr char kT6[] = "node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\n";
constexpr char kT10[] = "node = 1 2 0x000A7610 0x7610\nport = 9 FIRM\n";
constexpr char kTransferComplete[] = "Transfer complete. Please wait until t6/t10 rebooting completion.";
constexpr DWORD kReadyBoundMs = 30000;  // the search alone takes 2 s
constexpr DWORD kExitBoundMs = 5000;
constexpr DWORD kTransferBoundMs = 60000;

// The updater the tests run: the build's own, or the one T6_TEST_UPDATER
// names (the release's test runs a signed copy).
inline std::string UpdaterUnderTest() {
  const char* other = std::getenv("T6_TEST_UPDATER");
  return other != nullptr && *other != '\0' ? other : T6_UPDATER_EXE;
}

// A copy of the updater under a name of its own: the single-instance mutex is
// named after the executable, so copies under other names never meet.
class UpdaterCopy {
 public:
  explicit UpdaterCopy(const std::string& name) : path_((folder_.path() / (name + ".exe")).string()) {
    std::error_code error;
    copied_ = std::filesystem::copy_file(UpdaterUnderTest(), path_, error);
  }

  bool ok() const { return copied_; }
  const std::string& path() const { return path_; }

 private:
  TempFolder folder_{"updater"};
  std::string path_;
  bool copied_ = false;
};

// One run of the updater process; killed if the test leaves it running.
class UpdaterProcess {
 public:
  ~UpdaterProcess() {
    if (Running()) TerminateProcess(process_.get(), 99);
  }

  bool Start(const std::string& exe) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::string commandLine = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
      return false;
    }
    CloseHandle(info.hThread);
    process_.Reset(info.hProcess);
    pid_ = info.dwProcessId;
    return true;
  }

  DWORD pid() const { return pid_; }
  // As a crash would end it.
  void Kill() const { TerminateProcess(process_.get(), 0xC0000005); }
  bool Running() const { return process_.valid() && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
  // True with the exit code when the process ended within boundMs.
  bool WaitForExit(DWORD boundMs, DWORD& exitCode) const {
    if (!process_.valid() || WaitForSingleObject(process_.get(), boundMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process_.get(), &exitCode) != FALSE;
  }
  // Its window; none for a process that never started.
  op::UpdaterWindow Window() const {
    return process_.valid() ? op::UpdaterWindow::WaitFor(pid_, kReadyBoundMs) : op::UpdaterWindow();
  }

 private:
  KernelHandle process_;
  DWORD pid_ = 0;
};

// A whole run: the simulator configured for it (nullopt: given no
// configuration at all), an updater copy of its own (unless named), the
// process started. What kept it from starting is reported as a failure of the
// test, which then finds no window.
class Run {
 public:
  explicit Run(const std::optional<std::string>& simConfig, const std::string& exeName = "t6e2e-" + UniqueTag())
      : folder_("t6e2e-" + UniqueTag()), copy_(exeName) {
    if (!copy_.ok()) {
      ADD_FAILURE() << "could not copy the updater to " << copy_.path();
    } else if (simConfig ? !folder_.Configure(*simConfig)
                         : SetEnvironmentVariableA(sim::kConfigVariable, nullptr) == FALSE) {
      ADD_FAILURE() << "could not configure the simulator";
    } else if (!process_.Start(copy_.path())) {
      ADD_FAILURE() << "could not start " << copy_.path() << ": error " << GetLastError();
    }
  }

  UpdaterProcess& process() { return process_; }
  const UpdaterCopy& copy() const { return copy_; }
  // The simulator has begun that call ("get_node_list 1") within boundMs.
  bool CallBegun(const std::string& call, DWORD boundMs = 10000) const { return folder_.WaitForCall(call, boundMs); }
  // The calls the simulator began after that one, in order.
  std::vector<std::string> CallsAfter(const std::string& call) const {
    std::vector<std::string> calls = folder_.Calls();
    const auto found = std::find(calls.begin(), calls.end(), call);
    calls.erase(calls.begin(), found == calls.end() ? found : found + 1);
    return calls;
  }

  // The window once the search has found the device.
  op::UpdaterWindow Ready() {
    op::UpdaterWindow window = process_.Window();
    if (window) window.WaitForReady(kReadyBoundMs);
    return window;
  }

  // The process ended within boundMs with exit code 0, and let every driver
  // object and list go; report gets what the simulator wrote.
  ::testing::AssertionResult EndedCleanly(DWORD boundMs, sim::SimReport& report) {
    DWORD exitCode = 1;
    if (!process_.WaitForExit(boundMs, exitCode)) return ::testing::AssertionFailure() << "still running";
    if (exitCode != 0) return ::testing::AssertionFailure() << "exit code " << exitCode;
    if (!folder_.LoadReport(report)) return ::testing::AssertionFailure() << "no simulator report";
    if (report.stats.liveObjects != 0 || report.stats.unfreedLists != 0) {
      return ::testing::AssertionFailure()
             << report.stats.liveObjects << " live objects, " << report.stats.unfreedLists << " unfreed lists";
    }
    return ::testing::AssertionSuccess();
  }

 private:
  sim::SimFolder folder_;
  UpdaterCopy copy_;
  UpdaterProcess process_;
};

// The simulator registered with that ThreadingModel ("none": without one), as
// a vendor's driver may be, for the object's life; "Both" again afterwards.
// Every updater started meanwhile meets it: only for tests that run alone.
class SimRegistration {
 public:
  explicit SimRegistration(const std::string& threadingModel)
      : ok_(Regsvr32("/s /n /i:" + threadingModel + " \"" T6_QBUS_SIM_DLL "\"")) {}
  ~SimRegistration() {
    if (!Regsvr32("/s \"" T6_QBUS_SIM_DLL "\"")) ADD_FAILURE() << "could not register the simulator again";
  }
  SimRegistration(const SimRegistration&) = delete;
  SimRegistration& operator=(const SimRegistration&) = delete;
  bool ok() const { return ok_; }

 private:
  static bool Regsvr32(const std::string& arguments) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::string commandLine = "regsvr32.exe " + arguments;
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
      return false;
    }
    CloseHandle(info.hThread);
    const KernelHandle process(info.hProcess);
    DWORD exitCode = 1;
    return WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(process.get(), &exitCode) != FALSE && exitCode == 0;
  }

  bool ok_;
};

// Twelve messages, spacingTicks apart (48 ticks are 50 ms), several of them
// split into chunks, with a note event and a Set Tempo between them that must
// not reach the port.
inline Bytes UpdateFile(std::uint32_t spacingTicks = 48) {
  TrackBuilder track;
  track.Delta(0).SetTempo(250000);
  const std::uint32_t lengths[] = {8, 4095, 4096, 10000, 1, 0, 300, 8193, 64, 4097, 2, 700};
  std::uint8_t number = 0;
  for (const std::uint32_t length : lengths) {
    Bytes body(length, static_cast<std::uint8_t>(number * 7 & 0x7F));
    if (length >= 1) body.back() = 0xF7;
    track.Delta(number == 0 ? 0 : spacingTicks / 2).Raw({0x90, 60, 100});
    track.Delta(number == 0 ? 0 : spacingTicks - spacingTicks / 2).SysEx(body);
    ++number;
  }
  track.Delta(10).EndOfTrack();
  return BuildSmf(0, 480, {track.body()});
}

// Browse, the file into the file-open dialog, Start. pressed gets a counter
// reading from before the press: the transfer starts after it.
inline bool StartTransfer(const op::UpdaterWindow& window, const std::string& path, std::uint64_t* pressed = nullptr) {
  if (!window.Click(op::kBrowse) || !op::OpenFile(window.pid(), path, 10000)) return false;
  window.Sync();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  if (pressed != nullptr) *pressed = static_cast<std::uint64_t>(now.QuadPart);
  return window.Click(op::kStart);
}

// The status line reads "Installing..." within boundMs.
inline bool Installing(const op::UpdaterWindow& window, DWORD boundMs = 3000) {
  return window.WaitForText(op::kStatus, "Installing...", boundMs) == op::WaitEnd::kHeld;
}

// A whole update; true once Start offers "Close".
inline bool Update(const op::UpdaterWindow& window, const std::string& path, std::uint64_t* pressed = nullptr) {
  return StartTransfer(window, path, pressed) &&
         window.WaitForText(op::kStart, "Close", kTransferBoundMs) == op::WaitEnd::kHeld;
}

}  // namespace e2e
