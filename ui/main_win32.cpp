// The updater's entry point.
#include <windows.h>

#include "device/com_service_factory_win32.h"
#include "transfer/rq_data_play.h"
#include "ui/update_app_win32.h"

namespace {

// The one player exists for the whole run, before and after the dialog.
CRQDataPlay thePlayer;
ComServiceFactory theServices;
CtUpdateApp theApp(thePlayer, theServices);

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return theApp.Run(); }
