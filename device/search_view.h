// What the device search tells the dialog, from the worker's thread: Browse
// stays disabled while it searches, the status line follows it, and at the end
// the device is ready with its port open, or the status line says why not.
#pragma once

class DeviceSearchView {
 public:
  virtual void DisableBrowse() = 0;
  virtual void SetStatusText(const char* text) = 0;
  // The device and its port are open; portName is the port's four characters.
  virtual void DeviceReady(const char* portName) = 0;

 protected:
  ~DeviceSearchView() = default;
};
