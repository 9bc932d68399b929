// Play allocates nothing: every global allocation in this test binary is
// counted, and the count must not move while Play runs.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "transfer_fakes.h"
#include "tools/port_stub.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<std::size_t> allocations{0};

void* CountedMalloc(std::size_t size) {
  if (counting) ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}

void* Allocate(std::size_t size) {
  if (void* p = CountedMalloc(size)) return p;
  throw std::bad_alloc();
}

// A port, counter and progress bar that allocate nothing themselves.
class CountingPort final : public PortStub {
 public:
  HRESULT STDMETHODCALLTYPE Write(std::uint32_t, std::uint32_t count, const std::uint8_t*, std::uint32_t) override {
    ++writes;
    bytes += count;
    return S_OK;
  }
  std::size_t writes = 0;
  std::size_t bytes = 0;
};

class LastPosition final : public IProgressBar {
 public:
  void SetRange(std::uint16_t, std::uint16_t) override {}
  void SetPos(std::uint32_t position) override { last = position; }
  std::uint32_t last = 0;
};

TEST(Play, AllocatesNothing) {
  TrackBuilder track;
  for (int i = 0; i < 20; ++i) track.Delta(10).SysEx(fakes::MessageBytes(5000));  // 40 writes, the ring wraps
  track.Delta(0).Raw({0x90, 0x3C, 0x40}).Delta(0).EndOfTrack();
  auto player = fakes::LoadedPlayer(fakes::FileWithTrack(track.body()));
  CountingPort port;
  fakes::FakeCounter counter;
  LastPosition progress;
  StopSignal stop;

  allocations = 0;
  counting = true;
  player->Play(progress, 500000, TransferLink{port, counter, stop});
  counting = false;

  EXPECT_EQ(0u, allocations.load());
  EXPECT_EQ(40u, port.writes);
  EXPECT_EQ(20u * 5001u, port.bytes);
  EXPECT_EQ(100u, progress.last);
  EXPECT_EQ(CSMF::kOk, player->error());
}

int* volatile probe;  // escapes, so the compiler cannot leave the allocation out

TEST(Play, TheAllocationCounterSeesAllocations) {
  allocations = 0;
  counting = true;
  probe = new int(7);
  counting = false;
  delete probe;
  EXPECT_EQ(1u, allocations.load());
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedMalloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return CountedMalloc(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
