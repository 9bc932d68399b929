// CAboutDlg: the program's name, version and legal notice; closed by OK, Esc
// or the close box.
#pragma once

#include "ui/dialog_win32.h"
#include "ui/resource.h"

class CAboutDlg final : public CDialog {
 public:
  CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};
