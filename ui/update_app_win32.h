// The application: one copy at a time, running the update dialog modally.
#pragma once

#include <windows.h>

#include <string>

#include "device/service_factory.h"
#include "platform/handles_win32.h"
#include "transfer/rq_data_play.h"
#include "ui/open_file_dialog_win32.h"

// The program's own application base: InitInstance runs once after the
// process starts; when it returns false the program ends without a message loop.
class CWinApplication {
 public:
  virtual ~CWinApplication() = default;
  virtual bool InitInstance() = 0;

  // Runs the application and returns the process's exit code.
  int Run();
};

class CtUpdateApp final : public CWinApplication {
 public:
  CtUpdateApp(CRQDataPlay& player, ServiceFactory& services) noexcept : player_(player), services_(services) {}

  // Always false: the program ends when the dialog does, or at once in a second copy.
  bool InitInstance() override;

 private:
  CRQDataPlay& player_;
  ServiceFactory& services_;
  OpenFileDialog fileDialog_;
  KernelHandle instanceMutex_;  // held until the process ends
};

// The executable's file name without folder and extension, as the
// single-instance mutex is named.
std::wstring ExecutableBaseName();

// Brings the first copy's window, found by its title, to the foreground
// (restored if minimised, its open box in front). False when there is none.
bool BringFirstCopyForward();
