#include "sim/sim_report.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace sim {

namespace {

constexpr char kCaptureMagic[8] = {'T', '6', 'Q', 'C', 'A', 'P', '0', '1'};

// Names every stats field once, for both the writer and the reader.
template <class Stats, class Visitor>
void VisitStats(Stats& s, Visitor visit) {
  visit("live_objects", s.liveObjects);
  visit("unfreed_lists", s.unfreedLists);
  visit("services_fw", s.servicesFW);
  visit("services_qbus", s.servicesQBus);
  visit("node_list_calls", s.nodeListCalls);
  visit("open_device_calls", s.openDeviceCalls);
  visit("port_list_calls", s.portListCalls);
  visit("open_port_calls", s.openPortCalls);
  visit("write_calls", s.writeCalls);
  visit("oversize_writes", s.oversizeWrites);
  visit("bad_write_args", s.badWriteArgs);
  visit("ticks_per_second", s.ticksPerSecond);
}

void Put(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Reads little-endian numbers, checking the bounds before every read.
class Reader {
 public:
  explicit Reader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  bool Get(std::uint64_t& value, int size) {
    if (bytes_.size() - offset_ < static_cast<std::size_t>(size)) return false;
    value = 0;
    for (int i = 0; i < size; ++i) value |= static_cast<std::uint64_t>(bytes_[offset_ + i]) << (8 * i);
    offset_ += size;
    return true;
  }
  bool Get32(std::uint32_t& value) {
    std::uint64_t wide = 0;
    if (!Get(wide, 4)) return false;
    value = static_cast<std::uint32_t>(wide);
    return true;
  }
  bool Take(std::size_t count, std::vector<std::uint8_t>& out) {
    if (bytes_.size() - offset_ < count) return false;
    out.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(offset_),
               bytes_.begin() + static_cast<std::ptrdiff_t>(offset_ + count));
    offset_ += count;
    return true;
  }
  bool AtEnd() const { return offset_ == bytes_.size(); }

 private:
  const std::vector<std::uint8_t>& bytes_;
  std::size_t offset_ = 0;
};

bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

std::string FormatStats(const SimStats& stats) {
  std::ostringstream out;
  VisitStats(stats, [&out](const char* key, const auto& value) { out << key << ' ' << value << '\n'; });
  return out.str();
}

bool ParseStats(const std::string& text, SimStats& stats) {
  std::map<std::string, std::string> values;
  std::istringstream in(text);
  for (std::string key, value; in >> key >> value;) values[key] = value;
  bool ok = true;
  VisitStats(stats, [&](const char* key, auto& field) {
    const auto found = values.find(key);
    std::istringstream number(found != values.end() ? found->second : std::string{});
    if (!(number >> field) || !number.eof()) ok = false;
  });
  return ok;
}

std::vector<std::uint8_t> FormatCapture(std::uint64_t ticksPerSecond, const std::vector<CapturedWrite>& writes) {
  std::vector<std::uint8_t> out(std::begin(kCaptureMagic), std::end(kCaptureMagic));
  Put(out, ticksPerSecond, 8);
  Put(out, writes.size(), 4);
  for (const CapturedWrite& w : writes) {
    Put(out, w.ticks, 8);
    Put(out, w.portId, 4);
    Put(out, w.flags, 4);
    Put(out, w.byteCount, 4);
    Put(out, w.byteCount2, 4);
    Put(out, static_cast<std::uint32_t>(w.result), 4);
    Put(out, w.bytes.size(), 4);
    out.insert(out.end(), w.bytes.begin(), w.bytes.end());
  }
  return out;
}

bool ParseCapture(const std::vector<std::uint8_t>& bytes, std::uint64_t& ticksPerSecond,
                  std::vector<CapturedWrite>& writes) {
  if (bytes.size() < sizeof(kCaptureMagic) || std::memcmp(bytes.data(), kCaptureMagic, sizeof(kCaptureMagic)) != 0) {
    return false;
  }
  std::vector<std::uint8_t> rest(bytes.begin() + sizeof(kCaptureMagic), bytes.end());
  Reader reader(rest);
  std::uint32_t count = 0;
  if (!reader.Get(ticksPerSecond, 8) || !reader.Get32(count)) return false;
  writes.clear();
  for (std::uint32_t i = 0; i < count; ++i) {
    CapturedWrite w;
    std::uint32_t result = 0;
    std::uint32_t length = 0;
    if (!reader.Get(w.ticks, 8) || !reader.Get32(w.portId) || !reader.Get32(w.flags) || !reader.Get32(w.byteCount) ||
        !reader.Get32(w.byteCount2) || !reader.Get32(result) || !reader.Get32(length) ||
        !reader.Take(length, w.bytes)) {
      return false;
    }
    w.result = static_cast<std::int32_t>(result);
    writes.push_back(std::move(w));
  }
  return reader.AtEnd();
}

bool LoadReport(const std::string& statsPath, const std::string& capturePath, SimReport& report) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFile(statsPath, bytes) || !ParseStats(std::string(bytes.begin(), bytes.end()), report.stats)) {
    return false;
  }
  report.writes.clear();
  if (capturePath.empty()) return true;
  std::uint64_t ticksPerSecond = 0;
  return ReadFile(capturePath, bytes) && ParseCapture(bytes, ticksPerSecond, report.writes);
}

}  // namespace sim
