// Events, task priority levels and simulated time.
//
// Notification functions are queued per TPL and run highest TPL first; a
// queue runs as soon as the current TPL drops below its level (RestoreTPL, or
// at once when an event is signalled below its level). Signalling an event of
// a group signals every event of the group. Time is simulated: Stall and
// WaitForEvent advance it and fire timers; nothing sleeps.
#pragma once
#include "Uefi/UefiSpec.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class EventEngine {
public:
  // Called when WaitForEvent finds nothing signalled: feed input (a console
  // signals its key event) and return true when something may have changed.
  using IdleHook = std::function<bool()>;
  // Called for every misuse the firmware would assert on (RaiseTPL downwards...).
  using MisuseSink = std::function<void(std::string)>;

  EventEngine();
  ~EventEngine();
  EventEngine(const EventEngine &) = delete;
  EventEngine &operator=(const EventEngine &) = delete;

  EFI_STATUS Create(UINT32 type, EFI_TPL notifyTpl, EFI_EVENT_NOTIFY notify, const VOID *context,
                    const EFI_GUID *group, EFI_EVENT *event);
  EFI_STATUS Signal(EFI_EVENT event);
  EFI_STATUS Close(EFI_EVENT event);
  EFI_STATUS Check(EFI_EVENT event);
  EFI_STATUS Wait(UINTN count, EFI_EVENT *events, UINTN *index);
  EFI_STATUS SetTimer(EFI_EVENT event, EFI_TIMER_DELAY type, UINT64 triggerTime);
  EFI_TPL Raise(EFI_TPL newTpl);
  void Restore(EFI_TPL oldTpl);
  EFI_TPL CurrentTpl() const { return tpl_; }

  // Signals every event of a group (the boot manager's ready-to-boot).
  void SignalGroup(const EFI_GUID &group);
  bool IsEvent(EFI_EVENT event) const;
  size_t OpenEvents() const { return events_.size(); }
  size_t GroupMembers(const EFI_GUID &group) const;

  // Simulated time in 100 ns units since power-on.
  uint64_t Now() const { return now_; }
  // Advances time, firing the timers that come due.
  void Advance(uint64_t ticks100ns);
  void Stall(UINTN microseconds) { Advance(uint64_t(microseconds) * 10); }

  int AddIdleHook(IdleHook hook);
  void RemoveIdleHook(int id);
  void SetMisuseSink(MisuseSink sink) { misuse_ = std::move(sink); }
  // Some firmware accepts only the named levels TPL_CALLBACK and TPL_NOTIFY
  // for a notification and refuses the levels between them and below.
  void SetNamedNotifyLevelsOnly(bool only) { namedLevelsOnly_ = only; }
  // Called when an event closes (the handle database drops its registrations).
  void SetCloseListener(std::function<void(EFI_EVENT)> listener) {
    closeListener_ = std::move(listener);
  }

  // WaitForEvent gives up (BoardHung) after this many idle rounds that
  // change nothing.
  static constexpr int kMaxIdleRounds = 1000;

private:
  struct Event;
  Event *Lookup(EFI_EVENT event) const;
  void Queue(Event *event);
  void SignalOne(Event *event);
  void DispatchAbove(EFI_TPL level);
  void Misuse(std::string text);

  std::map<Event *, std::unique_ptr<Event>> events_;
  std::deque<Event *> queues_[TPL_HIGH_LEVEL + 1];
  EFI_TPL tpl_ = TPL_APPLICATION;
  uint64_t now_ = 0;
  uint64_t createSerial_ = 0;
  std::map<int, IdleHook> idleHooks_;
  int nextHook_ = 1;
  MisuseSink misuse_;
  bool namedLevelsOnly_ = false;
  std::function<void(EFI_EVENT)> closeListener_;
};

} // namespace sim
