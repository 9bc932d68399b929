// One owner per kind of Win32 resource, for every layer: each releases what it
// holds exactly once, in its destructor or when it is given another.
#pragma once

#include <windows.h>

#include <mmsystem.h>
#include <objbase.h>

#include <string>

// A kernel handle (thread, file, timer, mutex); null and INVALID_HANDLE_VALUE hold nothing.
class KernelHandle {
 public:
  explicit KernelHandle(HANDLE handle = nullptr) noexcept : handle_(handle) {}
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

// The screen's device context, released once.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A memory device context like another, deleted once.
class MemoryDc {
 public:
  explicit MemoryDc(HDC like) : dc_(CreateCompatibleDC(like)) {}
  ~MemoryDc() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// An icon loaded at a given size from the executable's resources.
class IconHandle {
 public:
  IconHandle(int resourceId, int width, int height)
      : icon_(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, width,
                                            height, LR_DEFAULTCOLOR))) {}
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

// A DLL of the system folder, loaded by its full path (never found by a search
// that could take a planted copy) and freed once.
class SystemLibrary {
 public:
  explicit SystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = L"";
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    module_ = LoadLibraryW((std::wstring(folder, length) + L"\\" + name).c_str());
  }
  ~SystemLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;

  // The function of that name and type, or null.
  template <class Function>
  Function Find(const char* name) const {
    return module_ != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)))
                              : nullptr;
  }

 private:
  HMODULE module_ = nullptr;
};

// The system timer raised to periodMs for the object's life, where the system
// grants it. winmm.dll is not one of the DLLs Windows always takes from the
// system folder, so it is not imported but loaded from there.
class TimerPeriod {
 public:
  explicit TimerPeriod(UINT periodMs) : winmm_(L"winmm.dll"), periodMs_(periodMs) {
    using Begin = MMRESULT(WINAPI*)(UINT);
    const auto begin = winmm_.Find<Begin>("timeBeginPeriod");
    end_ = winmm_.Find<End>("timeEndPeriod");
    raised_ = begin != nullptr && end_ != nullptr && begin(periodMs) == TIMERR_NOERROR;
  }
  ~TimerPeriod() {
    if (raised_) end_(periodMs_);
  }
  TimerPeriod(const TimerPeriod&) = delete;
  TimerPeriod& operator=(const TimerPeriod&) = delete;
  bool raised() const { return raised_; }

 private:
  using End = MMRESULT(WINAPI*)(UINT);
  SystemLibrary winmm_;
  UINT periodMs_;
  End end_ = nullptr;
  bool raised_ = false;
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
