#include "state/status_messages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

namespace {

// Row n is error n: the FW column, then the qBUS one.
const char* const kRows[][2] = {
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

TEST(StatusMessage, RowByCodeColumnByKindAndNothingOutsideTheTable) {
  for (std::uint32_t row = 0; row < 16; ++row) {
    // Kind "none" reads the qBUS column, where "no interface" is shown from.
    for (const InterfaceKind kind : {kInterfaceFW, kInterfaceQBus, kInterfaceNone}) {
      const char* expected = row < 13 ? kRows[row][kind == kInterfaceFW ? 0 : 1] : "";
      EXPECT_STREQ(expected, StatusMessage(status::Error(row), kind)) << row << " kind " << kind;
    }
  }
  EXPECT_STREQ("", StatusMessage(0xFFFFFFFFu, kInterfaceFW));
}

TEST(StatusMessage, SearchingTextAndErrorBit) {
  EXPECT_STREQ("Searching for FW device...", SearchingText(kInterfaceFW));
  EXPECT_STREQ("Searching for qBUS device...", SearchingText(kInterfaceQBus));
  EXPECT_STREQ("Searching for qBUS device...", SearchingText(kInterfaceNone));
  EXPECT_TRUE(status::IsError(0x80000006u));
  EXPECT_FALSE(status::IsError(6));  // a bare step code while the search retries
  EXPECT_FALSE(status::IsError(status::kRebooting));
}

// Each line of the operator's guide that starts with a quote names a text the
// program shows; together they must be every such text, as the program spells it.
TEST(StatusMessage, TheOperatorsGuideExplainsEveryTextTheProgramShows) {
  std::set<std::string> shown = {SearchingText(kInterfaceFW), SearchingText(kInterfaceQBus), text::kInstalling,
                                 text::kTransferComplete, text::kInputUpdateFile};
  for (std::uint32_t row = 1; row < 64; ++row) {
    for (const InterfaceKind kind : {kInterfaceFW, kInterfaceQBus}) {
      const std::string message = StatusMessage(status::Error(row), kind);
      if (!message.empty()) shown.insert(message);
    }
  }
  std::ifstream guide(T6_OPERATOR_GUIDE);
  ASSERT_TRUE(guide) << T6_OPERATOR_GUIDE;
  std::set<std::string> explained;
  for (std::string line; std::getline(guide, line);) {
    if (line.size() > 1 && line[0] == '"') explained.insert(line.substr(1, line.find('"', 1) - 1));
  }
  EXPECT_EQ(shown, explained);
}

}  // namespace
