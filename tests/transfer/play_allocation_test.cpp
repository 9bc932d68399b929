// Play allocates nothing: every global allocation in this test binary is
// counted, and the count must not move while Play runs.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "transfer_fakes.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<std::size_t> allocations{0};

void* Allocate(std::size_t size, bool mayThrow) {
  if (counting) ++allocations;
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr && mayThrow) throw std::bad_alloc();
  return p;
}

// A port, counter, progress bar and sleeper that allocate nothing themselves.
struct Quiet final : PortStub, MillisecondCounter, ProgressBar, PacingSleeper {
  HRESULT STDMETHODCALLTYPE Write(std::uint32_t, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
    ++writes;
    return S_OK;
  }
  std::uint32_t Now() override { return now++; }
  void SetRange(std::uint16_t, std::uint16_t) override {}
  void SetPos(std::uint32_t) override {}
  void Begin() override {}
  void End() override {}
  void Sleep(std::uint32_t ms) override {
    now += ms;
    ++sleeps;
  }
  int writes = 0, sleeps = 0;
  std::uint32_t now = 0;
};

int* volatile probe;  // escapes, so the compiler cannot leave the allocation out

TEST(Play, AllocatesNothing) {
  TrackBuilder track;
  for (int i = 0; i < 20; ++i) track.Delta(10).SysEx(SyntheticFirmware(5000, 1));  // 40 writes, the ring wraps
  track.Delta(0).Raw({0x90, 0x3C, 0x40}).Delta(0).EndOfTrack();
  auto player = fakes::LoadedPlayer(fakes::FileWithTrack(track.body()));
  Quiet quiet;
  StopSignal stop;

  allocations = 0;
  counting = true;
  probe = new int(7);                                                     // shows that the count sees an allocation
  player->Play(quiet, 500000, TransferLink{quiet, quiet, stop, &quiet});  // sleeping, then spinning
  counting = false;
  delete probe;

  EXPECT_EQ(1u, allocations.load());
  EXPECT_EQ(40, quiet.writes);
  EXPECT_GT(quiet.sleeps, 0);
  EXPECT_EQ(CSMF::kOk, player->error());
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size, true); }
void* operator new[](std::size_t size) { return Allocate(size, true); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size, false); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size, false); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
