// Choosing the update file. The program asks the platform's file-open dialog;
// in-process tests hand in a path instead.
#pragma once

#include <windows.h>

#include <string>

class UpdateFileChooser {
 public:
  // The chosen full path, in UTF-8; "" when the operator cancelled.
  virtual std::string Choose(HWND owner) = 0;

 protected:
  ~UpdateFileChooser() = default;
};

class OpenFileDialog final : public UpdateFileChooser {
 public:
  std::string Choose(HWND owner) override;
};

// The filter as the operator sees it, pairs separated by '|' and ended by "||".
constexpr char kUpdateFileFilter[] = "SMF files (*.mid)|*.mid|All Files (*.*)|*.*||";
