// The list owner. Releasing interfaces is checked by the device tests against
// the simulator's live-object count; leaks and double frees by the sanitizers.
#include <gtest/gtest.h>

#include "device/com_ptr.h"

namespace {

NodeRecord* Records(std::size_t n) { return static_cast<NodeRecord*>(CoTaskMemAlloc(n * sizeof(NodeRecord))); }

TEST(DeviceOwnership, CountsOnlyRecordsHeldAndFreesEachListOnce) {
  OwnedNodeList list;
  *list.ResetAndGetAddress() = NodeList{1, Records(1)};
  EXPECT_TRUE(list.held());
  EXPECT_EQ(1u, list.count());
  NodeList* slot = list.ResetAndGetAddress();  // frees the first list
  slot->count = 2;                             // a service that reports a count but no records
  EXPECT_FALSE(list.held());
  EXPECT_EQ(0u, list.count());
  slot->records = Records(2);
  EXPECT_EQ(2u, list.count());
}

}  // namespace
