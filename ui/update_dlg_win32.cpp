#include "ui/update_dlg_win32.h"

#include <vector>

#include "device/device_discovery.h"
#include "state/status_messages.h"
#include "ui/about_dlg_win32.h"
#include "ui/resource.h"
#include "ui/resource_string_win32.h"

namespace {
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
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
    Map::Private<&CtUpdateDlg::OnTransferProgress>(kTransferProgressMessage),
    Map::Private<&CtUpdateDlg::OnTransferEnded>(kTransferEndedMessage),
};

CtUpdateDlg::CtUpdateDlg(CRQDataPlay& player, ServiceFactory& services, UpdateFileChooser& chooser)
    : CDialog(IDD_UPDATE_DIALOG),
      icon_(IDR_MAINFRAME, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)),
      smallIcon_(IDR_MAINFRAME, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)),
      whiteBrush_(CreateSolidBrush(kWhite)),
      player_(player),
      services_(services),
      chooser_(chooser),
      controller_(state_, player, *this) {}

CtUpdateDlg::~CtUpdateDlg() {
  if (hwnd() != nullptr) DestroyWindow(hwnd());  // run modeless: its WM_DESTROY stops the workers
  StopWorkers();
  // Port, port list, device, node list, service; then COM, the brush and the icons go.
  link_.ReleaseAll();
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
  searchView_.emplace(hwnd(), controller_);
  searchWorker_.emplace(DeviceSearch{state_, link_, *searchView_}, searchWait_);
  state_.workerParameter = WorkerParameter{this, nullptr};
  DeviceSearch search{state_, link_, *searchView_};
  AcquireDriverService(services_, search, *searchWorker_);
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
  if ((command & 0xFFF0) != IDM_ABOUTBOX) return false;
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

void CtUpdateDlg::OnTransferProgress(WPARAM percent, LPARAM) { taskbar_->SetPercent(static_cast<unsigned>(percent)); }

void CtUpdateDlg::OnTransferEnded(WPARAM finished, LPARAM) {
  if (finished != 0) {
    taskbar_->Clear();
  } else {
    taskbar_->SetFailed();
  }
}

void CtUpdateDlg::SetFileName(const std::string& path) { SetDlgItemTextA(hwnd(), IDC_FILE_NAME, path.c_str()); }

std::string CtUpdateDlg::FileName() {
  const HWND box = Item(IDC_FILE_NAME);
  std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(box)) + 1, '\0');
  const int length = GetWindowTextA(box, text.data(), static_cast<int>(text.size()));
  return std::string(text.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

void CtUpdateDlg::SetStatusText(const char* text) { SetDlgItemTextA(hwnd(), IDC_STATUS, text); }

void CtUpdateDlg::SetStartText(const char* text) { SetDlgItemTextA(hwnd(), IDC_START, text); }

void CtUpdateDlg::EnableStart(bool enable) { EnableWindow(Item(IDC_START), enable ? TRUE : FALSE); }

void CtUpdateDlg::ShowAbout() {
  CAboutDlg about;
  about.DoModal(hwnd());
}

void CtUpdateDlg::WarnNoFileName() {
  MessageBoxA(hwnd(), text::kInputUpdateFile, ResourceString(IDS_APP_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

bool CtUpdateDlg::LaunchTransfer() {
  if (!link_.port || transferView_) return false;
  transferView_.emplace(hwnd());
  taskbar_->SetPercent(0);
  state_.workerParameter = WorkerParameter{this, &player_};
  return transferWorker_.Start(*transferView_, state_, player_, *link_.port.get());
}

void CtUpdateDlg::StopWorkers() {
  searchWait_.RequestStop();
  transferWorker_.RequestStop();
  if (searchWorker_) searchWorker_->Join();
  transferWorker_.Join();
}
