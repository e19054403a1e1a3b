// The handle and protocol database with protocol notification.
//
// Handles are kept in creation order; the interfaces of one protocol in
// installation order (that is the order LocateHandle returns). A registration
// from RegisterProtocolNotify queues every later installation of its protocol;
// LocateHandle(ByRegisterNotify) and LocateProtocol(Registration) take the next
// queued one, each exactly once.
#pragma once
#include "Uefi/UefiSpec.h"
#include "sim/core/Guid.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class EventEngine;
class PoolAllocator;

class HandleDatabase {
public:
  struct Change {
    std::string Kind; // "install", "uninstall", "reinstall"
    uint64_t Handle;  // handle number (1 = first handle created)
    EFI_GUID Protocol;
    std::string Phase;
  };

  HandleDatabase(EventEngine &events, PoolAllocator &pool);
  ~HandleDatabase();
  HandleDatabase(const HandleDatabase &) = delete;
  HandleDatabase &operator=(const HandleDatabase &) = delete;

  EFI_STATUS Install(EFI_HANDLE *handle, const EFI_GUID *protocol, EFI_INTERFACE_TYPE type,
                     VOID *interface);
  EFI_STATUS Uninstall(EFI_HANDLE handle, const EFI_GUID *protocol, VOID *interface);
  EFI_STATUS Reinstall(EFI_HANDLE handle, const EFI_GUID *protocol, VOID *oldInterface,
                       VOID *newInterface);
  EFI_STATUS HandleProtocol(EFI_HANDLE handle, const EFI_GUID *protocol, VOID **interface);
  EFI_STATUS OpenProtocol(EFI_HANDLE handle, const EFI_GUID *protocol, VOID **interface,
                          EFI_HANDLE agent, EFI_HANDLE controller, UINT32 attributes);
  EFI_STATUS CloseProtocol(EFI_HANDLE handle, const EFI_GUID *protocol, EFI_HANDLE agent,
                           EFI_HANDLE controller);
  EFI_STATUS RegisterNotify(const EFI_GUID *protocol, EFI_EVENT event, VOID **registration);
  EFI_STATUS LocateHandle(EFI_LOCATE_SEARCH_TYPE type, const EFI_GUID *protocol, VOID *key,
                          UINTN *bufferSize, EFI_HANDLE *buffer);
  EFI_STATUS LocateHandleBuffer(EFI_LOCATE_SEARCH_TYPE type, const EFI_GUID *protocol, VOID *key,
                                UINTN *count, EFI_HANDLE **buffer);
  EFI_STATUS LocateProtocol(const EFI_GUID *protocol, VOID *registration, VOID **interface);
  EFI_STATUS ProtocolsPerHandle(EFI_HANDLE handle, EFI_GUID ***buffer, UINTN *count);

  // Board side.
  bool IsHandle(EFI_HANDLE handle) const;
  std::vector<EFI_HANDLE> Handles() const;
  std::vector<EFI_HANDLE> HandlesWith(const EFI_GUID &protocol) const;
  VOID *Find(EFI_HANDLE handle, const EFI_GUID &protocol) const;
  // 1-based creation number of a handle, 0 for anything else.
  uint64_t HandleNumber(EFI_HANDLE handle) const;
  const std::vector<Change> &Changes() const { return changes_; }
  // Called by the event engine when an event closes.
  void DropRegistrationsOf(EFI_EVENT event);
  void SetPhase(std::string phase) { phase_ = std::move(phase); }
  // A protocol whose producer may change between lookups: every successful
  // LocateProtocol of it returns what the filter gives (it may also fail the
  // lookup). One filter per protocol; the last one set holds.
  using LocateFilter = std::function<EFI_STATUS(VOID **interface)>;
  void SetLocateFilter(const EFI_GUID &protocol, LocateFilter filter);

private:
  struct Handle;
  struct Registration;
  Handle *Lookup(EFI_HANDLE handle) const;
  Registration *LookupRegistration(VOID *key) const;
  void Notify(Handle *handle, const EFI_GUID &protocol, VOID *interface);
  EFI_STATUS LocateInstalled(const EFI_GUID *protocol, VOID *registration, VOID **interface);
  std::vector<Handle *> Search(EFI_LOCATE_SEARCH_TYPE type, const EFI_GUID *protocol, VOID *key,
                               Registration **fromRegistration) const;

  EventEngine &events_;
  PoolAllocator &pool_;
  std::vector<std::unique_ptr<Handle>> all_; // never shrinks: stale handles stay recognisable
  std::vector<Handle *> live_;
  std::vector<std::unique_ptr<Registration>> registrations_;
  std::vector<Change> changes_;
  uint64_t nextNumber_ = 1;
  uint64_t installOrder_ = 0;
  std::map<EFI_GUID, std::unique_ptr<EFI_GUID>, GuidLess> guids_;
  std::map<EFI_GUID, LocateFilter, GuidLess> locateFilters_;
  std::string phase_;
};

} // namespace sim
