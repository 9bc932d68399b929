#include <gtest/gtest.h>

#include "device/device_link.h"

namespace {

struct CountingUnknown : IqBUSPort {
  int* releases;
  explicit CountingUnknown(int* counter) : releases(counter) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(++*releases); }
  HRESULT STDMETHODCALLTYPE GetPortInfo(PortRecord*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE Write(std::uint32_t, std::uint32_t, const std::uint8_t*,
                                  std::uint32_t) override {
    return S_OK;
  }
};

TEST(DeviceOwnership, ReleasesAnInterfaceOnceAndBeforeReplacingIt) {
  int releases = 0;
  CountingUnknown first(&releases);
  CountingUnknown second(&releases);
  {
    ComPtr<IqBUSPort> port;
    *port.ResetAndGetAddress() = &first;
    *port.ResetAndGetAddress() = &second;  // releases the first
    EXPECT_EQ(1, releases);
    port.Reset();
    port.Reset();  // nothing held: nothing released
    EXPECT_EQ(2, releases);
    *port.ResetAndGetAddress() = &first;
  }
  EXPECT_EQ(3, releases);
}

// Leaks and double frees are caught by the sanitizers of the host build.
TEST(DeviceOwnership, FreesAListBeforeANewerOneAndAtTheEnd) {
  OwnedNodeList list;
  NodeList* slot = list.ResetAndGetAddress();
  slot->count = 1;
  slot->records = static_cast<NodeRecord*>(CoTaskMemAlloc(sizeof(NodeRecord)));
  EXPECT_TRUE(list.held());
  EXPECT_EQ(1u, list.count());
  slot = list.ResetAndGetAddress();
  EXPECT_FALSE(list.held());
  slot->count = 2;  // a service that reports a count but no records
  EXPECT_EQ(0u, list.count());
  slot->records = static_cast<NodeRecord*>(CoTaskMemAlloc(2 * sizeof(NodeRecord)));
  EXPECT_EQ(2u, list.count());
}

}  // namespace
