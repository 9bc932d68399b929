// A folder of its own for one use of the simulated driver service: the
// configuration it reads (named to it by the environment, so processes started
// from here read it too) and the report it writes when its last object goes.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "sim/sim_config.h"
#include "sim/sim_report.h"

namespace sim {

class SimFolder {
 public:
  explicit SimFolder(const std::string& name)
      : folder_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(GetCurrentProcessId()))),
        base_((folder_ / "sim").string()) {
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
  }
  ~SimFolder() {
    SetEnvironmentVariableA(kConfigVariable, nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  SimFolder(const SimFolder&) = delete;
  SimFolder& operator=(const SimFolder&) = delete;

  // Writes text plus the report's file names and points the simulator at it.
  bool Configure(const std::string& text) const {
    {
      std::ofstream file(base_ + ".conf");
      file << text << "\nstats_file = " << base_ << ".stats\ncapture_file = " << base_
           << ".capture\ncalls_file = " << base_ << ".calls\n";
      if (!file) return false;
    }
    return SetEnvironmentVariableA(kConfigVariable, (base_ + ".conf").c_str()) != FALSE;
  }

  bool LoadReport(SimReport& report) const { return sim::LoadReport(base_ + ".stats", base_ + ".capture", report); }

  // Every call the simulator has begun so far, in order ("write 2", "release 5").
  std::vector<std::string> Calls() const {
    std::vector<std::string> calls;
    std::ifstream file(base_ + ".calls");
    for (std::string line; std::getline(file, line);) calls.push_back(line);
    return calls;
  }

  // Waits at most boundMs for the simulator to begin a call ("open_device 1",
  // "write 2"): a test then knows the call is under way.
  bool WaitForCall(const std::string& call, DWORD boundMs) const {
    const ULONGLONG deadline = GetTickCount64() + boundMs;
    for (;;) {
      for (const std::string& line : Calls()) {
        if (line == call) return true;
      }
      if (GetTickCount64() >= deadline) return false;
      Sleep(10);
    }
  }

 private:
  std::filesystem::path folder_;
  std::string base_;
};

}  // namespace sim
