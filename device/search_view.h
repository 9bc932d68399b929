// What the device search may do to the dialog, from the worker's thread: the
// Browse button and the status and port-name fields, nothing else.
#pragma once

class DeviceSearchView {
 public:
  virtual void EnableBrowse(bool enable) = 0;
  virtual void SetStatusText(const char* text) = 0;
  virtual void SetPortNameText(const char* text) = 0;

 protected:
  ~DeviceSearchView() = default;
};
