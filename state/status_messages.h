// The one-line texts of the status field.
#pragma once

#include "state/status_code.h"

// Message of an error code for an interface kind. The row is the code with its
// high bit masked off; kinds other than FW read the qBUS column, which is where
// "no interface" (kind none) is shown from. Codes outside the table give "".
const char* StatusMessage(StatusCode code, InterfaceKind kind);

// Searching text of the device search for an interface kind.
const char* SearchingText(InterfaceKind kind);

namespace text {
constexpr const char kEmpty[] = "";
constexpr const char kSearchingFW[] = "Searching for FW device...";
constexpr const char kSearchingQBus[] = "Searching for qBUS device...";
constexpr const char kInstalling[] = "Installing...";
constexpr const char kTransferComplete[] = "Transfer complete. Please wait until t6/t10 rebooting completion.";
constexpr const char kInputUpdateFile[] = "Input Update File!!";
}  // namespace text
