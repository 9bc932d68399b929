// The updater's entry point.
#include <windows.h>

#include "device/com_service_factory_win32.h"
#include "platform/dll_search_win32.h"
#include "transfer/rq_data_play.h"
#include "ui/update_app_win32.h"

namespace {

// The one player exists for the whole run, before and after the dialog. None
// of these three loads a DLL when it is made.
CRQDataPlay thePlayer;
ComServiceFactory theServices;
CtUpdateApp theApp(thePlayer, theServices);

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearchToSystemFolder();  // before anything can load a DLL
  return theApp.Run();
}
