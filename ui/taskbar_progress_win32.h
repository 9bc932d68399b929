// The transfer's progress on the dialog's task-bar button. Used on the dialog's
// thread only (the task bar object lives in its apartment). Where the platform
// has no task-bar list, every call does nothing.
#pragma once

#include <windows.h>

#include <shobjidl.h>

#include "device/com_ptr.h"

class TaskbarProgress {
 public:
  explicit TaskbarProgress(HWND window) : window_(window) {}

  void SetPercent(unsigned percent);  // normal state
  void SetFailed();                   // error state, kept until the program ends
  void Clear();

 private:
  ITaskbarList3* List();

  HWND window_;
  bool tried_ = false;
  ComPtr<ITaskbarList3> list_;
};
