#include "ui/taskbar_progress_win32.h"

ITaskbarList3* TaskbarProgress::List() {
  if (!tried_) {
    tried_ = true;
    ITaskbarList3** slot = list_.ResetAndGetAddress();
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(slot))) ||
        !list_ || FAILED(list_->HrInit())) {
      list_.Reset();
    }
  }
  return list_.get();
}

void TaskbarProgress::SetPercent(unsigned percent) {
  if (ITaskbarList3* list = List()) {
    list->SetProgressState(window_, TBPF_NORMAL);
    list->SetProgressValue(window_, percent, 100);
  }
}

void TaskbarProgress::SetFailed() {
  if (ITaskbarList3* list = List()) list->SetProgressState(window_, TBPF_ERROR);
}

void TaskbarProgress::Clear() {
  if (ITaskbarList3* list = List()) list->SetProgressState(window_, TBPF_NOPROGRESS);
}
