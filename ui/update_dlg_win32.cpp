#include "ui/update_dlg_win32.h"

#include "device/device_discovery.h"
#include "platform/process_end_win32.h"
#include "state/status_messages.h"
#include "ui/about_dlg_win32.h"
#include "ui/resource.h"
#include "ui/resource_string_win32.h"

namespace {

constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
// Posted to the dialog itself when it may be able to take the focus again.
constexpr UINT kTryCloseFocusMessage = WM_APP + 3;
constexpr wchar_t kShutdownBlockText[] = L"Firmware update in progress. Do not switch off the computer or the device.";

// Whether the operator is looking at this window or a box of its own.
bool InForeground(HWND dialog) {
  const HWND foreground = GetForegroundWindow();
  return foreground != nullptr && GetAncestor(foreground, GA_ROOTOWNER) == dialog;
}

}  // namespace

const CtUpdateDlg::Map::Entry CtUpdateDlg::kMessages[] = {
    Map::Clicked<&CtUpdateDlg::OnBrowse>(IDC_BROWSE),
    Map::Clicked<&CtUpdateDlg::OnStart>(IDC_START),
    Map::Clicked<&CtUpdateDlg::OnAboutClicked>(IDC_ABOUT),
    Map::SysCommand<&CtUpdateDlg::OnSysCommand>(),
    Map::CtlColorStatic<&CtUpdateDlg::OnCtlColorStatic>(),
    Map::Paint<&CtUpdateDlg::OnPaint>(),
    Map::QueryDragIcon<&CtUpdateDlg::OnQueryDragIcon>(),
    Map::Destroy<&CtUpdateDlg::OnDestroy>(),
    Map::QueryEndSession<&CtUpdateDlg::OnQueryEndSession>(),
    Map::EndSession<&CtUpdateDlg::OnEndSession>(),
    Map::Observe<&CtUpdateDlg::OnActivateOrResize>(WM_ACTIVATE),
    Map::Observe<&CtUpdateDlg::OnActivateOrResize>(WM_SIZE),
    Map::Private<&CtUpdateDlg::OnTransferProgress>(kTransferProgressMessage),
    Map::Private<&CtUpdateDlg::OnTransferEnded>(kTransferEndedMessage),
    Map::Private<&CtUpdateDlg::OnTryCloseFocus>(kTryCloseFocusMessage),
    Map::Private<&CtUpdateDlg::OnDeviceReady>(kDeviceReadyMessage),
};

CtUpdateDlg::CtUpdateDlg(CRQDataPlay& player, ServiceFactory& services, UpdateFileChooser& chooser)
    : CDialog(IDD_UPDATE_DIALOG),
      icon_(IDR_MAINFRAME, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)),
      smallIcon_(IDR_MAINFRAME, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)),
      whiteBrush_(CreateSolidBrush(kWhite)),
      player_(player),
      services_(services),
      chooser_(chooser),
      controller_(state_, player, *this) {
  com_.emplace();  // after the driver's thread has entered its apartment
}

CtUpdateDlg::~CtUpdateDlg() {
  if (hwnd() != nullptr) DestroyWindow(hwnd());  // run modeless: its WM_DESTROY stops the workers
  // Port, port list, device, node list, service go on the driver's thread;
  // then COM, the brush and the icons.
  StopWorkersOrEndProcess();
}

bool CtUpdateDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  return Map::Handle(*this, kMessages, message, wParam, lParam, result);
}

BOOL CtUpdateDlg::OnInitDialog() {
  if (HMENU systemMenu = GetSystemMenu(hwnd(), FALSE)) {
    const std::string about = ResourceString(IDS_ABOUTBOX);
    if (!about.empty()) {
      AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
      AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
  }
  SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
  SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

  controller_.Initialise();

  taskbar_.emplace(hwnd());
  searchView_.emplace(hwnd());
  state_.workerParameter = WorkerParameter{this, nullptr};
  DeviceSearch search{state_, link_, *searchView_};
  // Without the driver's thread no service is obtained.
  if (!driver_.Search(services_, search)) ReportNoService(search);
  return TRUE;  // the platform gives the focus to the first tab stop
}

bool CtUpdateDlg::PreTranslateMessage(const MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  if (message.hwnd != hwnd() && !IsChild(hwnd(), message.hwnd)) return false;
  // The system sends a key to the window with the keyboard focus: the key's
  // own window says which control had it when it was pressed.
  const HWND focus = message.hwnd;
  const bool onControl = IsChild(hwnd(), focus) != FALSE;
  return controller_.KeyDown(static_cast<unsigned>(message.wParam), onControl ? GetDlgCtrlID(focus) : 0,
                             onControl && IsWindowEnabled(focus));
}

void CtUpdateDlg::OnAboutClicked() { SendMessageW(hwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0); }

bool CtUpdateDlg::OnSysCommand(UINT command) {
  if (command != IDM_ABOUTBOX) return false;
  ShowAbout();
  return true;
}

HBRUSH CtUpdateDlg::OnCtlColorStatic(HDC dc, int controlId) {
  // The read-only file box would be grey like the dialog; the path reads better on white.
  if (controlId != IDC_FILE_NAME) return nullptr;
  SetBkColor(dc, kWhite);
  return whiteBrush_.get();
}

bool CtUpdateDlg::OnPaint() {
  if (!IsIconic(hwnd())) return false;
  PaintScope paint(hwnd());
  SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.dc()), 0);
  RECT client;
  GetClientRect(hwnd(), &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(paint.dc(), x, y, icon_.get());
  return true;
}

void CtUpdateDlg::OnEndSession(bool ending) {
  if (!ending) {
    controller_.SessionGoesOn();
    return;
  }
  // The process may be ended at any moment once this returns: let go now.
  StopWorkersOrEndProcess();
  End(IDCANCEL);
}

// Activation restores the focus the dialog had before (the About button, say):
// the focus is moved to Close after that, from the queue.
void CtUpdateDlg::OnActivateOrResize() { PostMessageW(hwnd(), kTryCloseFocusMessage, 0, 0); }

void CtUpdateDlg::OnTransferEnded(bool finished) {
  shutdownBlock_.reset();
  if (finished) {
    taskbar_->Clear();
  } else {
    taskbar_->SetFailed();
  }
  if (!InForeground(hwnd())) {
    FLASHWINFO flash = {sizeof(flash), hwnd(), FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);  // until the operator brings the window forward
  }
  controller_.TransferEnded();
  OnTryCloseFocus();
}

void CtUpdateDlg::OnTryCloseFocus() {
  const bool canTakeFocus = IsWindowEnabled(hwnd()) && !IsIconic(hwnd()) && GetActiveWindow() == hwnd();
  if (controller_.TakeCloseFocus(canTakeFocus)) {
    SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_START)), TRUE);
  }
}

void CtUpdateDlg::SetFileName(const std::string& path) {
  SetItemText(IDC_FILE_NAME, path);
  // Scrolled to the end: the file's own name is what tells the operator which one it is.
  const auto end = static_cast<WPARAM>(GetWindowTextLengthW(Item(IDC_FILE_NAME)));
  SendDlgItemMessageW(hwnd(), IDC_FILE_NAME, EM_SETSEL, end, static_cast<LPARAM>(end));
  SendDlgItemMessageW(hwnd(), IDC_FILE_NAME, EM_SCROLLCARET, 0, 0);
}

std::string CtUpdateDlg::FileName() { return ItemText(IDC_FILE_NAME); }

void CtUpdateDlg::SetStatusText(const char* text) { SetItemText(IDC_STATUS, text); }

void CtUpdateDlg::ShowAbout() {
  CAboutDlg about;
  about.DoModal(hwnd());
  PostMessageW(hwnd(), kTryCloseFocusMessage, 0, 0);
}

void CtUpdateDlg::WarnNoFileName() {
  MessageBoxA(hwnd(), text::kInputUpdateFile, ResourceString(IDS_APP_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

bool CtUpdateDlg::LaunchTransfer() {
  if (!link_.port || transferView_) return false;
  transferView_.emplace(hwnd());
  state_.workerParameter = WorkerParameter{this, &player_};
  shutdownBlock_.emplace(hwnd(), kShutdownBlockText);
  if (!transferWorker_.Start(*transferView_, state_, player_, *link_.port.get())) {
    shutdownBlock_.reset();
    return false;
  }
  taskbar_->SetPercent(0);
  return true;
}

bool CtUpdateDlg::StopWorkers() {
  driver_.RequestStop();
  transferWorker_.RequestStop();
  // The transfer sends the rest of the message going out: the port is in use until it ends.
  if (!JoinWhileCallsReturn(transferWorker_, transferWorker_.calls(), kDriverCallBoundMs)) return false;
  shutdownBlock_.reset();
  driver_.RequestRelease();
  return JoinWhileCallsReturn(driver_, driver_.calls(), kDriverCallBoundMs);
}

void CtUpdateDlg::StopWorkersOrEndProcess() {
  if (!StopWorkers()) EndProcessNow(kExitWorkerStuck);
}
