// Owners for what a driver service hands out: an interface, released once; a
// node or port list, whose records are freed once with CoTaskMemFree.
#pragma once

#include <cstdint>

#include "device/com_types.h"
#include "device/qbus.h"
#include "device/task_mem.h"

template <class Interface>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over the reference that owned carries (a new object's first one).
  explicit ComPtr(Interface* owned) : p_(owned) {}
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  Interface* get() const { return p_; }
  Interface* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  void Reset() {
    if (p_ != nullptr) {
      Interface* old = p_;
      p_ = nullptr;
      old->Release();
    }
  }
  // Releases what is held, then hands out the slot for an out-parameter.
  Interface** ResetAndGetAddress() {
    Reset();
    return &p_;
  }

 private:
  Interface* p_ = nullptr;
};

template <class List>
class TaskMemList {
 public:
  TaskMemList() = default;
  ~TaskMemList() { Reset(); }
  TaskMemList(const TaskMemList&) = delete;
  TaskMemList& operator=(const TaskMemList&) = delete;

  const List& get() const { return list_; }
  std::uint32_t count() const { return list_.records != nullptr ? list_.count : 0; }
  bool held() const { return list_.records != nullptr; }
  // False when the count claims more records than the block holds (a faulty
  // driver): such a list is not to be read at all.
  bool CountFitsBlock() const { return list_.count <= TaskMemSize(list_.records) / sizeof(*list_.records); }

  void Reset() {
    if (list_.records != nullptr) CoTaskMemFree(list_.records);
    list_ = List{};
  }
  // Frees what is held, then hands out the list for a service to fill.
  List* ResetAndGetAddress() {
    Reset();
    return &list_;
  }

 private:
  List list_{};
};

using OwnedNodeList = TaskMemList<NodeList>;
using OwnedPortList = TaskMemList<PortList>;
