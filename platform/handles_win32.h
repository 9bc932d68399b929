// One owner per kind of Win32 resource, for every layer: each releases what it
// holds exactly once, in its destructor or when it is given another.
#pragma once

#include <windows.h>

#include <mmsystem.h>
#include <objbase.h>

// A kernel handle (thread, file, timer, mutex); null and INVALID_HANDLE_VALUE hold nothing.
class KernelHandle {
 public:
  explicit KernelHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~KernelHandle() { Reset(); }
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

  void Reset(HANDLE handle = nullptr) {
    if (valid()) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_;
};

// A GDI object (brush, pen, font...), deleted once.
template <class Handle>
class GdiObject {
 public:
  explicit GdiObject(Handle handle = nullptr) : handle_(handle) {}
  ~GdiObject() {
    if (handle_ != nullptr) DeleteObject(handle_);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  Handle get() const { return handle_; }

 private:
  Handle handle_;
};

// An icon loaded at a given size from the executable's resources.
class IconHandle {
 public:
  IconHandle(int resourceId, int width, int height)
      : icon_(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                                            width, height, LR_DEFAULTCOLOR))) {}
  ~IconHandle() {
    if (icon_ != nullptr) DestroyIcon(icon_);
  }
  IconHandle(const IconHandle&) = delete;
  IconHandle& operator=(const IconHandle&) = delete;
  HICON get() const { return icon_; }

 private:
  HICON icon_;
};

// COM for the calling thread, in the apartment model, for the object's life.
class ComInitialization {
 public:
  ComInitialization() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComInitialization() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;

 private:
  HRESULT result_;
};

// The system timer raised to periodMs for the object's life, where the system
// grants it.
class TimerPeriod {
 public:
  explicit TimerPeriod(UINT periodMs) : periodMs_(periodMs), raised_(timeBeginPeriod(periodMs) == TIMERR_NOERROR) {}
  ~TimerPeriod() {
    if (raised_) timeEndPeriod(periodMs_);
  }
  TimerPeriod(const TimerPeriod&) = delete;
  TimerPeriod& operator=(const TimerPeriod&) = delete;
  bool raised() const { return raised_; }

 private:
  UINT periodMs_;
  bool raised_;
};

// A reason shown in the shutdown screen while this window refuses to let the
// session end; made and removed on the window's own thread.
class ShutdownBlockReason {
 public:
  ShutdownBlockReason(HWND window, const wchar_t* reason)
      : window_(window), registered_(ShutdownBlockReasonCreate(window, reason) != FALSE) {}
  ~ShutdownBlockReason() {
    if (registered_) ShutdownBlockReasonDestroy(window_);
  }
  ShutdownBlockReason(const ShutdownBlockReason&) = delete;
  ShutdownBlockReason& operator=(const ShutdownBlockReason&) = delete;

 private:
  HWND window_;
  bool registered_;
};

// BeginPaint and EndPaint around one WM_PAINT.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &paint_)) {}
  ~PaintScope() { EndPaint(hwnd_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};
