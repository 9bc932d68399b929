#include "state/status_messages.h"

namespace {

struct MessageRow {
  const char* fw;
  const char* qbus;
};

// Row n holds error n; row 0 is unused.
constexpr MessageRow kMessages[] = {
    {"", ""},
    {"Can not get FW/qBUS interface!!", "Can not get FW/qBUS interface!!"},
    {"Can not get FW device information!!", "Can not get qBUS device information!!"},
    {"FW device not found!!", "qBUS device not found!!"},
    {"Can not open FW device!!", "Can not open qBUS device!!"},
    {"Can not get FW port information!!", "Can not get qBUS port information!!"},
    {"FW port not found!!", "qBUS port not found!!"},
    {"Can not open FW port!!", "Can not open qBUS port!!"},
    {"Not enough memory!!", "Not enough memory!!"},
    {"File not found!!", "File not found!!"},
    {"", ""},  // the file could not be opened: the status line stays empty
    {"File format error!!", "File format error!!"},
    {"FW communication error!!", "qBUS communication error!!"},
};

constexpr std::uint32_t kRowCount = sizeof(kMessages) / sizeof(kMessages[0]);

}  // namespace

const char* StatusMessage(StatusCode code, InterfaceKind kind) {
  const std::uint32_t row = code & ~status::kErrorBit;
  if (row == 0 || row >= kRowCount) return text::kEmpty;
  return kind == kInterfaceFW ? kMessages[row].fw : kMessages[row].qbus;
}

const char* SearchingText(InterfaceKind kind) {
  return kind == kInterfaceFW ? text::kSearchingFW : text::kSearchingQBus;
}
