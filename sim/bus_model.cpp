#include "sim/bus_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim/host_process.h"

namespace sim {

namespace {

// Every model alive, so that a freed block reaches the one that handed it out.
std::mutex registryMutex;
std::vector<BusModel*>& Registry() {
  static std::vector<BusModel*> models;
  return models;
}

template <class Record>
Record* AllocateRecords(std::size_t count) {
  // One record at least, so that an empty list still has something to free.
  const std::size_t bytes = std::max<std::size_t>(count, 1) * sizeof(Record);
  void* block = CoTaskMemAlloc(bytes);
  if (block != nullptr) std::memset(block, 0, bytes);
  return static_cast<Record*>(block);
}

// The count a list claims: its records, or, for a faulty driver, one more
// than the block holds.
std::uint32_t ListCount(std::size_t records, bool overcount) {
  return static_cast<std::uint32_t>(overcount ? std::max<std::size_t>(records, 1) + 1 : records);
}

}  // namespace

void TakeLatency(Clock& clock, const CallLatency& latency, std::uint32_t call) {
  if (!latency.Hits(call)) return;
  do {
    clock.SleepMicroseconds(latency.forever ? 3600000000u : latency.us);
  } while (latency.forever);
}

void NotifyTaskMemFreed(void* block) {
  std::lock_guard<std::mutex> lock(registryMutex);
  for (BusModel* model : Registry()) model->ListFreed(block);
}

BusModel::BusModel(SimConfig config, std::shared_ptr<Clock> clock)
    : config_(std::move(config)), clock_(std::move(clock)) {
  stats_.ticksPerSecond = clock_->TicksPerSecond();
  StartTaskMemFreeTracking();
  std::lock_guard<std::mutex> lock(registryMutex);
  Registry().push_back(this);
}

BusModel::~BusModel() {
  std::lock_guard<std::mutex> lock(registryMutex);
  auto& models = Registry();
  models.erase(std::remove(models.begin(), models.end(), this), models.end());
}

void BusModel::SetIdleCallback(std::function<void(const BusModel&)> callback) {
  std::lock_guard<std::mutex> lock(mutex_);
  idle_ = std::move(callback);
}

void BusModel::SetCallObserver(std::function<void(const char*)> observer) {
  std::lock_guard<std::mutex> lock(mutex_);
  callObserver_ = std::move(observer);
}

void BusModel::ObjectCreated() { ++live_; }

void BusModel::ObjectDestroyed() {
  if (--live_ != 0) return;
  std::function<void(const BusModel&)> idle;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    idle = idle_;
  }
  try {
    if (idle) idle(*this);
  } catch (...) {
    // Reached from Release: a report that cannot be written is lost, nothing more.
  }
}

void BusModel::NoteCall(const char* name, std::uint32_t call) {
  if (callObserver_) callObserver_(name);
  if (config_.callsFile.empty()) return;
  std::FILE* file = std::fopen(config_.callsFile.c_str(), "ab");
  if (file == nullptr) return;
  std::fprintf(file, "%s %u\n", name, static_cast<unsigned>(call));
  std::fclose(file);
}

std::uint32_t BusModel::BeginCall(const char* name, std::uint32_t SimStats::*counter, const CallLatency& latency) {
  std::uint32_t call = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    call = ++(stats_.*counter);
    NoteCall(name, call);
  }
  TakeLatency(*clock_, latency, call);
  return call;
}

void BusModel::ServiceCreated(ServiceClass serviceClass) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++(serviceClass == ServiceClass::kFW ? stats_.servicesFW : stats_.servicesQBus);
}

bool BusModel::Listed(std::size_t node, std::uint32_t nodeListCall) const {
  return config_.nodes[node].fromCall <= nodeListCall && (nodesLearned_ || !config_.nodesByWindowTimer);
}

HRESULT BusModel::GetNodeList(NodeList* list) {
  if (list == nullptr) return E_POINTER;
  *list = NodeList{};
  const std::uint32_t call = BeginCall("get_node_list", &SimStats::nodeListCalls, config_.getNodeListLatency);
  std::lock_guard<std::mutex> lock(mutex_);
  const bool overcount = config_.getNodeList.Hits(call) && config_.getNodeList.mode == FaultMode::kOvercount;
  if (config_.getNodeList.Hits(call) && !overcount) return E_FAIL;
  std::vector<std::size_t> listed;
  for (std::size_t i = 0; i < config_.nodes.size(); ++i) {
    if (Listed(i, call)) listed.push_back(i);
  }
  NodeRecord* records = AllocateRecords<NodeRecord>(listed.size());
  if (records == nullptr) return E_OUTOFMEMORY;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const NodeEntry& node = config_.nodes[listed[i]];
    records[i].nodeId[0] = node.word0;
    records[i].nodeId[1] = node.word1;
    records[i].vendorId = node.vendor;
    records[i].modelId = node.model;
  }
  lists_.insert(records);
  list->count = ListCount(listed.size(), overcount);
  list->records = records;
  return S_OK;
}

OpenOutcome BusModel::OpenDevice(std::uint32_t word0, std::uint32_t word1) {
  const std::uint32_t call = BeginCall("open_device", &SimStats::openDeviceCalls, config_.openDeviceLatency);
  std::lock_guard<std::mutex> lock(mutex_);
  OpenOutcome outcome;
  if (config_.openDevice.Hits(call)) {
    if (config_.openDevice.mode == FaultMode::kNull) outcome.result = S_OK;
    return outcome;
  }
  for (std::size_t i = 0; i < config_.nodes.size(); ++i) {
    if (config_.nodes[i].word0 == word0 && config_.nodes[i].word1 == word1 && Listed(i, stats_.nodeListCalls)) {
      return {S_OK, true, i};
    }
  }
  return outcome;
}

HRESULT BusModel::GetPortList(std::size_t node, PortList* list) {
  if (list == nullptr) return E_POINTER;
  *list = PortList{};
  const std::uint32_t call = BeginCall("get_port_list", &SimStats::portListCalls, config_.getPortListLatency);
  std::lock_guard<std::mutex> lock(mutex_);
  const bool overcount = config_.getPortList.Hits(call) && config_.getPortList.mode == FaultMode::kOvercount;
  if (config_.getPortList.Hits(call) && !overcount) return E_FAIL;
  const std::vector<PortEntry>& ports = config_.nodes[node].ports;
  PortRecord* records = AllocateRecords<PortRecord>(ports.size());
  if (records == nullptr) return E_OUTOFMEMORY;
  for (std::size_t i = 0; i < ports.size(); ++i) {
    records[i].portId = ports[i].id;
    records[i].name = ports[i].name;
  }
  lists_.insert(records);
  list->count = ListCount(ports.size(), overcount);
  list->records = records;
  return S_OK;
}

OpenOutcome BusModel::OpenPort(std::size_t node, std::uint32_t portId) {
  const std::uint32_t call = BeginCall("open_port", &SimStats::openPortCalls, config_.openPortLatency);
  std::lock_guard<std::mutex> lock(mutex_);
  OpenOutcome outcome;
  if (config_.openPort.Hits(call)) {
    if (config_.openPort.mode == FaultMode::kNull) outcome.result = S_OK;
    return outcome;
  }
  const std::vector<PortEntry>& ports = config_.nodes[node].ports;
  for (std::size_t i = 0; i < ports.size(); ++i) {
    if (ports[i].id == portId) return {S_OK, true, i};
  }
  return outcome;
}

HRESULT BusModel::Write(std::uint32_t portId, std::uint32_t flags, std::uint32_t byteCount, const std::uint8_t* bytes,
                        std::uint32_t byteCount2) {
  CapturedWrite write;
  write.ticks = clock_->Now();
  write.portId = portId;
  write.flags = flags;
  write.byteCount = byteCount;
  write.byteCount2 = byteCount2;
  if (bytes != nullptr) write.bytes.assign(bytes, bytes + byteCount);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    NoteCall("write", ++writesBegun_);
  }

  // The slow bus: the call takes as long as the latency plus the bytes at the bandwidth.
  std::uint64_t delayUs = config_.writeLatencyUs;
  if (config_.writeBytesPerSecond != 0) {
    delayUs += static_cast<std::uint64_t>(byteCount) * 1000000u / config_.writeBytesPerSecond;
  }
  if (delayUs != 0) clock_->SleepMicroseconds(delayUs);

  std::lock_guard<std::mutex> lock(mutex_);
  const std::uint32_t call = ++stats_.writeCalls;
  if (call == config_.crashAtWrite) CrashHostProcess();
  if (byteCount > kMaxWriteBytes) ++stats_.oversizeWrites;
  if (flags != 0 || byteCount != byteCount2) ++stats_.badWriteArgs;
  write.result = bytes == nullptr && byteCount != 0 ? E_POINTER : call == config_.writeFailAt ? E_FAIL : S_OK;
  const HRESULT result = write.result;
  writes_.push_back(std::move(write));
  return result;
}

void BusModel::ListFreed(void* block) {
  std::lock_guard<std::mutex> lock(mutex_);
  lists_.erase(block);
}

void BusModel::ReleaseCalled() {
  std::lock_guard<std::mutex> lock(mutex_);
  NoteCall("release", ++releaseCalls_);
}

void BusModel::UnloadAsked() {
  std::lock_guard<std::mutex> lock(mutex_);
  NoteCall("can_unload_now", ++unloadQueries_);
}

void BusModel::NodesLearned() {
  std::lock_guard<std::mutex> lock(mutex_);
  nodesLearned_ = true;
}

SimStats BusModel::Stats() const {
  std::lock_guard<std::mutex> lock(mutex_);
  SimStats stats = stats_;
  stats.liveObjects = live_.load();
  stats.unfreedLists = lists_.size();
  return stats;
}

std::vector<CapturedWrite> BusModel::Writes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}

}  // namespace sim
