#include "sim/core/HandleDatabase.h"

#include "sim/core/Events.h"
#include "sim/core/Pool.h"

#include <algorithm>
#include <cstring>

namespace sim {

struct HandleDatabase::Handle {
  uint64_t Number;
  struct Entry {
    EFI_GUID Protocol;
    VOID *Interface;
    uint64_t Order; // installation order across the database
  };
  std::vector<Entry> Protocols;
  bool Live = true;

  Entry *FindEntry(const EFI_GUID &protocol) {
    for (auto &e : Protocols)
      if (e.Protocol == protocol)
        return &e;
    return nullptr;
  }
};

struct HandleDatabase::Registration {
  EFI_GUID Protocol;
  EFI_EVENT Event;
  struct Pending {
    Handle *Where;
    VOID *Interface;
  };
  std::deque<Pending> Queue;
  bool Live = true;
};

HandleDatabase::HandleDatabase(EventEngine &events, PoolAllocator &pool)
    : events_(events), pool_(pool) {}
HandleDatabase::~HandleDatabase() = default;

HandleDatabase::Handle *HandleDatabase::Lookup(EFI_HANDLE handle) const {
  for (Handle *h : live_)
    if (h == handle)
      return h;
  return nullptr;
}

bool HandleDatabase::IsHandle(EFI_HANDLE handle) const {
  return Lookup(handle) != nullptr;
}

uint64_t HandleDatabase::HandleNumber(EFI_HANDLE handle) const {
  for (auto &h : all_)
    if (h.get() == handle)
      return h->Number;
  return 0;
}

HandleDatabase::Registration *HandleDatabase::LookupRegistration(VOID *key) const {
  for (auto &r : registrations_)
    if (r.get() == key && r->Live)
      return r.get();
  return nullptr;
}

std::vector<EFI_HANDLE> HandleDatabase::Handles() const {
  return {live_.begin(), live_.end()};
}

std::vector<EFI_HANDLE> HandleDatabase::HandlesWith(const EFI_GUID &protocol) const {
  std::vector<EFI_HANDLE> out;
  for (Handle *h : Search(ByProtocol, &protocol, nullptr, nullptr))
    out.push_back(h);
  return out;
}

VOID *HandleDatabase::Find(EFI_HANDLE handle, const EFI_GUID &protocol) const {
  Handle *h = Lookup(handle);
  auto *e = h ? h->FindEntry(protocol) : nullptr;
  return e ? e->Interface : nullptr;
}

void HandleDatabase::Notify(Handle *handle, const EFI_GUID &protocol, VOID *interface) {
  // By index: a notification above TPL_NOTIFY may register another one.
  for (size_t i = 0; i < registrations_.size(); ++i) {
    Registration *r = registrations_[i].get();
    if (r->Live && r->Protocol == protocol) {
      r->Queue.push_back({handle, interface});
      events_.Signal(r->Event);
    }
  }
}

EFI_STATUS HandleDatabase::Install(EFI_HANDLE *handle, const EFI_GUID *protocol,
                                   EFI_INTERFACE_TYPE type, VOID *interface) {
  if (handle == nullptr || protocol == nullptr || type != EFI_NATIVE_INTERFACE)
    return EFI_INVALID_PARAMETER;
  Handle *h = nullptr;
  if (*handle != nullptr) {
    h = Lookup(*handle);
    if (h == nullptr)
      return EFI_INVALID_PARAMETER;
    if (h->FindEntry(*protocol))
      return EFI_INVALID_PARAMETER;
  }
  // Notifications run when the database lock (TPL_NOTIFY) is released.
  EFI_TPL old = events_.Raise(TPL_NOTIFY);
  if (h == nullptr) {
    all_.push_back(std::make_unique<Handle>());
    h = all_.back().get();
    h->Number = nextNumber_++;
    live_.push_back(h);
    *handle = h;
  }
  h->Protocols.push_back({*protocol, interface, ++installOrder_});
  changes_.push_back({"install", h->Number, *protocol, phase_});
  Notify(h, *protocol, interface);
  events_.Restore(old);
  return EFI_SUCCESS;
}

EFI_STATUS HandleDatabase::Uninstall(EFI_HANDLE handle, const EFI_GUID *protocol, VOID *interface) {
  if (protocol == nullptr)
    return EFI_INVALID_PARAMETER;
  Handle *h = Lookup(handle);
  if (h == nullptr)
    return EFI_INVALID_PARAMETER;
  auto *e = h->FindEntry(*protocol);
  if (e == nullptr || e->Interface != interface)
    return EFI_NOT_FOUND;
  h->Protocols.erase(h->Protocols.begin() + (e - h->Protocols.data()));
  changes_.push_back({"uninstall", h->Number, *protocol, phase_});
  for (auto &r : registrations_) {
    auto &q = r->Queue;
    q.erase(std::remove_if(q.begin(), q.end(),
                           [&](const Registration::Pending &p) {
                             return p.Where == h && p.Interface == interface &&
                                    r->Protocol == *protocol;
                           }),
            q.end());
  }
  if (h->Protocols.empty()) {
    h->Live = false;
    live_.erase(std::remove(live_.begin(), live_.end(), h), live_.end());
  }
  return EFI_SUCCESS;
}

EFI_STATUS HandleDatabase::Reinstall(EFI_HANDLE handle, const EFI_GUID *protocol,
                                     VOID *oldInterface, VOID *newInterface) {
  if (protocol == nullptr)
    return EFI_INVALID_PARAMETER;
  Handle *h = Lookup(handle);
  if (h == nullptr)
    return EFI_INVALID_PARAMETER;
  auto *e = h->FindEntry(*protocol);
  if (e == nullptr || e->Interface != oldInterface)
    return EFI_NOT_FOUND;
  EFI_TPL old = events_.Raise(TPL_NOTIFY);
  e->Interface = newInterface;
  changes_.push_back({"reinstall", h->Number, *protocol, phase_});
  Notify(h, *protocol, newInterface);
  events_.Restore(old);
  return EFI_SUCCESS;
}

EFI_STATUS HandleDatabase::HandleProtocol(EFI_HANDLE handle, const EFI_GUID *protocol,
                                          VOID **interface) {
  return OpenProtocol(handle, protocol, interface, nullptr, nullptr,
                      EFI_OPEN_PROTOCOL_BY_HANDLE_PROTOCOL);
}

EFI_STATUS HandleDatabase::OpenProtocol(EFI_HANDLE handle, const EFI_GUID *protocol,
                                        VOID **interface, EFI_HANDLE agent, EFI_HANDLE controller,
                                        UINT32 attributes) {
  if (protocol == nullptr)
    return EFI_INVALID_PARAMETER;
  if (interface == nullptr && attributes != EFI_OPEN_PROTOCOL_TEST_PROTOCOL)
    return EFI_INVALID_PARAMETER;
  Handle *h = Lookup(handle);
  if (h == nullptr)
    return EFI_INVALID_PARAMETER;
  switch (attributes) {
  case EFI_OPEN_PROTOCOL_BY_HANDLE_PROTOCOL:
  case EFI_OPEN_PROTOCOL_GET_PROTOCOL:
  case EFI_OPEN_PROTOCOL_TEST_PROTOCOL:
    break;
  case EFI_OPEN_PROTOCOL_BY_CHILD_CONTROLLER:
  case EFI_OPEN_PROTOCOL_BY_DRIVER:
  case EFI_OPEN_PROTOCOL_BY_DRIVER | EFI_OPEN_PROTOCOL_EXCLUSIVE:
  case EFI_OPEN_PROTOCOL_EXCLUSIVE:
    if (!Lookup(agent) || (attributes != EFI_OPEN_PROTOCOL_EXCLUSIVE && !Lookup(controller)))
      return EFI_INVALID_PARAMETER;
    break;
  default:
    return EFI_INVALID_PARAMETER;
  }
  auto *e = h->FindEntry(*protocol);
  if (e == nullptr) {
    if (interface != nullptr && attributes != EFI_OPEN_PROTOCOL_TEST_PROTOCOL)
      *interface = nullptr;
    return EFI_UNSUPPORTED;
  }
  if (attributes != EFI_OPEN_PROTOCOL_TEST_PROTOCOL)
    *interface = e->Interface;
  return EFI_SUCCESS;
}

EFI_STATUS HandleDatabase::CloseProtocol(EFI_HANDLE handle, const EFI_GUID *protocol,
                                         EFI_HANDLE agent, EFI_HANDLE controller) {
  (void)controller;
  if (protocol == nullptr || !Lookup(agent))
    return EFI_INVALID_PARAMETER;
  Handle *h = Lookup(handle);
  if (h == nullptr)
    return EFI_INVALID_PARAMETER;
  return h->FindEntry(*protocol) ? EFI_SUCCESS : EFI_NOT_FOUND;
}

EFI_STATUS HandleDatabase::RegisterNotify(const EFI_GUID *protocol, EFI_EVENT event,
                                          VOID **registration) {
  if (protocol == nullptr || registration == nullptr || !events_.IsEvent(event))
    return EFI_INVALID_PARAMETER;
  auto r = std::make_unique<Registration>();
  r->Protocol = *protocol;
  r->Event = event;
  *registration = r.get();
  registrations_.push_back(std::move(r));
  return EFI_SUCCESS;
}

void HandleDatabase::DropRegistrationsOf(EFI_EVENT event) {
  for (auto &r : registrations_)
    if (r->Event == event) {
      r->Live = false;
      r->Queue.clear();
    }
}

std::vector<HandleDatabase::Handle *>
HandleDatabase::Search(EFI_LOCATE_SEARCH_TYPE type, const EFI_GUID *protocol, VOID *key,
                       Registration **fromRegistration) const {
  std::vector<Handle *> out;
  if (fromRegistration)
    *fromRegistration = nullptr;
  switch (type) {
  case AllHandles:
    out = live_;
    break;
  case ByProtocol: {
    // Installation order of the protocol's interfaces.
    std::vector<std::pair<uint64_t, Handle *>> found;
    for (Handle *h : live_)
      for (auto &e : h->Protocols)
        if (e.Protocol == *protocol)
          found.emplace_back(e.Order, h);
    std::sort(found.begin(), found.end());
    for (auto &f : found)
      out.push_back(f.second);
    break;
  }
  case ByRegisterNotify: {
    Registration *r = LookupRegistration(key);
    if (r == nullptr)
      break;
    if (fromRegistration)
      *fromRegistration = r;
    // One handle at a time: the next installation not yet returned.
    for (auto &p : r->Queue)
      if (p.Where->Live) {
        out.push_back(p.Where);
        break;
      }
    break;
  }
  }
  return out;
}

EFI_STATUS HandleDatabase::LocateHandle(EFI_LOCATE_SEARCH_TYPE type, const EFI_GUID *protocol,
                                        VOID *key, UINTN *bufferSize, EFI_HANDLE *buffer) {
  if (bufferSize == nullptr || (*bufferSize > 0 && buffer == nullptr))
    return EFI_INVALID_PARAMETER;
  if (type != AllHandles && type != ByProtocol && type != ByRegisterNotify)
    return EFI_INVALID_PARAMETER;
  if (type == ByProtocol && protocol == nullptr)
    return EFI_INVALID_PARAMETER;
  if (type == ByRegisterNotify && key == nullptr)
    return EFI_INVALID_PARAMETER;
  Registration *r = nullptr;
  auto found = Search(type, protocol, key, &r);
  if (found.empty())
    return EFI_NOT_FOUND;
  UINTN needed = found.size() * sizeof(EFI_HANDLE);
  if (*bufferSize < needed) {
    *bufferSize = needed;
    return EFI_BUFFER_TOO_SMALL;
  }
  *bufferSize = needed;
  std::copy(found.begin(), found.end(), buffer);
  if (r != nullptr) {
    // The position moves only when the handle was handed out.
    while (!r->Queue.empty() && r->Queue.front().Where != found.front())
      r->Queue.pop_front();
    if (!r->Queue.empty())
      r->Queue.pop_front();
  }
  return EFI_SUCCESS;
}

EFI_STATUS HandleDatabase::LocateHandleBuffer(EFI_LOCATE_SEARCH_TYPE type, const EFI_GUID *protocol,
                                              VOID *key, UINTN *count, EFI_HANDLE **buffer) {
  if (count == nullptr || buffer == nullptr)
    return EFI_INVALID_PARAMETER;
  *count = 0;
  *buffer = nullptr;
  UINTN size = 0;
  EFI_STATUS status = LocateHandle(type, protocol, key, &size, nullptr);
  if (status != EFI_BUFFER_TOO_SMALL)
    return status == EFI_SUCCESS ? EFI_NOT_FOUND : status;
  VOID *block = nullptr;
  status = pool_.Allocate(EfiBootServicesData, size, &block);
  if (status != EFI_SUCCESS)
    return EFI_OUT_OF_RESOURCES;
  status = LocateHandle(type, protocol, key, &size, static_cast<EFI_HANDLE *>(block));
  if (status != EFI_SUCCESS) {
    pool_.Free(block);
    return status;
  }
  *buffer = static_cast<EFI_HANDLE *>(block);
  *count = size / sizeof(EFI_HANDLE);
  return EFI_SUCCESS;
}

EFI_STATUS HandleDatabase::LocateProtocol(const EFI_GUID *protocol, VOID *registration,
                                          VOID **interface) {
  EFI_STATUS status = LocateInstalled(protocol, registration, interface);
  if (EFI_ERROR(status))
    return status;
  auto filter = locateFilters_.find(*protocol);
  return filter == locateFilters_.end() ? status : filter->second(interface);
}

void HandleDatabase::SetLocateFilter(const EFI_GUID &protocol, LocateFilter filter) {
  locateFilters_[protocol] = std::move(filter);
}

EFI_STATUS HandleDatabase::LocateInstalled(const EFI_GUID *protocol, VOID *registration,
                                           VOID **interface) {
  if (protocol == nullptr || interface == nullptr)
    return EFI_INVALID_PARAMETER;
  *interface = nullptr;
  if (registration != nullptr) {
    Registration *r = LookupRegistration(registration);
    if (r == nullptr)
      return EFI_NOT_FOUND;
    while (!r->Queue.empty()) {
      auto next = r->Queue.front();
      r->Queue.pop_front();
      if (next.Where->Live) {
        *interface = next.Interface;
        return EFI_SUCCESS;
      }
    }
    return EFI_NOT_FOUND;
  }
  auto found = Search(ByProtocol, protocol, nullptr, nullptr);
  if (found.empty())
    return EFI_NOT_FOUND;
  *interface = found.front()->FindEntry(*protocol)->Interface;
  return EFI_SUCCESS;
}

EFI_STATUS HandleDatabase::ProtocolsPerHandle(EFI_HANDLE handle, EFI_GUID ***buffer, UINTN *count) {
  if (buffer == nullptr || count == nullptr)
    return EFI_INVALID_PARAMETER;
  Handle *h = Lookup(handle);
  if (h == nullptr)
    return EFI_INVALID_PARAMETER;
  VOID *block = nullptr;
  const size_t bytes =
      h->Protocols.size() * sizeof(EFI_GUID *); // NOLINT(bugprone-sizeof-expression): the caller
                                                // gets an array of GUID pointers
  if (pool_.Allocate(EfiBootServicesData, bytes, &block) != EFI_SUCCESS)
    return EFI_OUT_OF_RESOURCES;
  auto **list = static_cast<EFI_GUID **>(block);
  for (size_t i = 0; i < h->Protocols.size(); ++i) {
    // One stable copy per GUID, as the firmware's protocol entries.
    auto &stable = guids_[h->Protocols[i].Protocol];
    if (!stable)
      stable = std::make_unique<EFI_GUID>(h->Protocols[i].Protocol);
    list[i] = stable.get();
  }
  *buffer = list;
  *count = h->Protocols.size();
  return EFI_SUCCESS;
}

} // namespace sim
