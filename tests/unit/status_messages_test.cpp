#include "state/status_messages.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct MessageCase {
  StatusCode code;
  InterfaceKind kind;
  const char* expected;
};

void PrintTo(const MessageCase& c, std::ostream* os) {
  *os << std::hex << "0x" << c.code << " kind " << std::dec << c.kind;
}

class StatusMessageTest : public testing::TestWithParam<MessageCase> {};

TEST_P(StatusMessageTest, LooksUpRowByCodeAndColumnByKind) {
  const MessageCase& c = GetParam();
  EXPECT_EQ(std::string(c.expected), StatusMessage(c.code, c.kind));
}

INSTANTIATE_TEST_SUITE_P(
    Table, StatusMessageTest,
    testing::Values(
        // The column follows the interface kind.
        MessageCase{0x80000003, kInterfaceQBus, "qBUS device not found!!"},
        MessageCase{0x80000003, kInterfaceFW, "FW device not found!!"},
        MessageCase{0x80000002, kInterfaceFW, "Can not get FW device information!!"},
        MessageCase{0x80000004, kInterfaceQBus, "Can not open qBUS device!!"},
        MessageCase{0x80000005, kInterfaceQBus, "Can not get qBUS port information!!"},
        MessageCase{0x80000006, kInterfaceQBus, "qBUS port not found!!"},
        MessageCase{0x80000007, kInterfaceQBus, "Can not open qBUS port!!"},
        MessageCase{0x8000000C, kInterfaceFW, "FW communication error!!"},
        MessageCase{0x8000000C, kInterfaceQBus, "qBUS communication error!!"},
        // Opening the file failed for another reason: an empty status line.
        MessageCase{0x8000000A, kInterfaceFW, ""},
        MessageCase{0x8000000A, kInterfaceQBus, ""},
        // No interface reads the same whatever the kind field holds.
        MessageCase{0x80000001, kInterfaceFW, "Can not get FW/qBUS interface!!"},
        MessageCase{0x80000001, kInterfaceQBus, "Can not get FW/qBUS interface!!"},
        MessageCase{0x80000001, kInterfaceNone, "Can not get FW/qBUS interface!!"},
        // File errors read the same in both columns.
        MessageCase{0x80000008, kInterfaceFW, "Not enough memory!!"},
        MessageCase{0x80000009, kInterfaceQBus, "File not found!!"},
        MessageCase{0x8000000B, kInterfaceFW, "File format error!!"},
        // Outside the table: nothing shown, nothing read out of bounds.
        MessageCase{0x80000000, kInterfaceFW, ""},
        MessageCase{0x8000000D, kInterfaceQBus, ""},
        MessageCase{0xFFFFFFFF, kInterfaceFW, ""}));

TEST(StatusCodeTest, ErrorCodesCarryTheHighBit) {
  EXPECT_EQ(0x80000001u, status::Error(status::kNoInterface));
  EXPECT_EQ(0x8000000Cu, status::Error(status::kCommunicationError));
  EXPECT_TRUE(status::IsError(0x80000006u));
  EXPECT_FALSE(status::IsError(6));  // a bare step code while the search retries
  EXPECT_FALSE(status::IsError(status::kRebooting));
}

TEST(SearchingTextTest, FWOnlyForKindZero) {
  EXPECT_STREQ("Searching for FW device...", SearchingText(kInterfaceFW));
  EXPECT_STREQ("Searching for qBUS device...", SearchingText(kInterfaceQBus));
  EXPECT_STREQ("Searching for qBUS device...", SearchingText(kInterfaceNone));
}

}  // namespace
