// The driver services' interface: a service lists the bus nodes and opens a
// node as a device; a device lists its ports and opens one, which takes writes.
// Every method returns an HRESULT; a negative one is failure.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/com_types.h"

struct NodeRecord {
  std::uint32_t nodeId[2];  // words 0 and 1, passed to OpenDevice in this order
  std::uint32_t vendorId;   // IEEE OUI
  std::uint32_t modelId;
  std::uint8_t reserved[264];
};
static_assert(sizeof(NodeRecord) == 280, "NodeRecord is 280 bytes");
static_assert(offsetof(NodeRecord, nodeId) == 0, "node identifier at byte 0");
static_assert(offsetof(NodeRecord, vendorId) == 8, "vendor identifier at byte 8");
static_assert(offsetof(NodeRecord, modelId) == 12, "model identifier at byte 12");

struct PortRecord {
  std::uint32_t portId;
  std::uint32_t name;  // four characters, the first in the most significant byte
  std::uint32_t reserved;
};
static_assert(sizeof(PortRecord) == 12, "PortRecord is 12 bytes");
static_assert(offsetof(PortRecord, portId) == 0, "port identifier at byte 0");
static_assert(offsetof(PortRecord, name) == 4, "port name at byte 4");

// Lists are allocated by the service with the COM task allocator; the caller
// frees the records with CoTaskMemFree.
struct NodeList {
  std::uint32_t count;
  NodeRecord* records;
};
struct PortList {
  std::uint32_t count;
  PortRecord* records;
};
static_assert(offsetof(NodeList, records) == sizeof(void*), "count, then the records pointer");
static_assert(offsetof(PortList, records) == sizeof(void*), "count, then the records pointer");

struct IqBUSPort;
struct IqBUSDevice;

struct IqBUSAsync : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetNodeList(NodeList* list) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenDevice(std::uint32_t nodeIdWord0, std::uint32_t nodeIdWord1,
                                               IqBUSDevice** device) = 0;
};

struct IqBUSDevice : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetPortList(PortList* list) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenPort(std::uint32_t portId, IqBUSPort** port) = 0;
};

struct IqBUSPort : IUnknown {
  // Describes the port; the updater never calls it.
  virtual HRESULT STDMETHODCALLTYPE GetPortInfo(PortRecord* info) = 0;
  // flags is 0; byteCount is passed twice. At most 4096 bytes a call.
  virtual HRESULT STDMETHODCALLTYPE Write(std::uint32_t flags, std::uint32_t byteCount, const std::uint8_t* bytes,
                                          std::uint32_t byteCount2) = 0;
};

constexpr std::uint32_t kMaxWriteBytes = 4096;
