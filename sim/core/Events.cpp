#include "sim/core/Events.h"

#include "sim/core/Errors.h"
#include "sim/core/Guid.h"

#include <algorithm>

namespace sim {

struct EventEngine::Event {
  UINT32 Type;
  EFI_TPL Tpl;
  EFI_EVENT_NOTIFY Notify;
  VOID *Context;
  std::optional<EFI_GUID> Group;
  uint64_t Serial;
  bool Signalled = false;
  bool Queued = false;
  // Timer
  bool TimerArmed = false;
  uint64_t Deadline = 0;
  uint64_t Period = 0;
};

EventEngine::EventEngine() = default;
EventEngine::~EventEngine() = default;

EventEngine::Event *EventEngine::Lookup(EFI_EVENT event) const {
  auto *e = static_cast<Event *>(event);
  return events_.count(e) ? e : nullptr;
}

bool EventEngine::IsEvent(EFI_EVENT event) const {
  return Lookup(event) != nullptr;
}

void EventEngine::Misuse(std::string text) {
  if (misuse_)
    misuse_(std::move(text));
}

EFI_STATUS EventEngine::Create(UINT32 type, EFI_TPL notifyTpl, EFI_EVENT_NOTIFY notify,
                               const VOID *context, const EFI_GUID *group, EFI_EVENT *event) {
  if (event == nullptr)
    return EFI_INVALID_PARAMETER;
  constexpr UINT32 known = EVT_TIMER | EVT_RUNTIME | EVT_NOTIFY_WAIT | EVT_NOTIFY_SIGNAL |
                           EVT_SIGNAL_EXIT_BOOT_SERVICES | EVT_SIGNAL_VIRTUAL_ADDRESS_CHANGE;
  if (type & ~known)
    return EFI_INVALID_PARAMETER;
  // The two special signal types are their event groups.
  std::optional<EFI_GUID> groupGuid;
  if (type == EVT_SIGNAL_EXIT_BOOT_SERVICES || type == EVT_SIGNAL_VIRTUAL_ADDRESS_CHANGE) {
    if (group != nullptr)
      return EFI_INVALID_PARAMETER;
    groupGuid = type == EVT_SIGNAL_EXIT_BOOT_SERVICES ? gEfiEventExitBootServicesGuid
                                                      : gEfiEventVirtualAddressChangeGuid;
  } else if (group != nullptr) {
    groupGuid = *group;
  }
  bool wait = type & EVT_NOTIFY_WAIT, signal = type & EVT_NOTIFY_SIGNAL;
  if (wait && signal)
    return EFI_INVALID_PARAMETER;
  if (wait || signal) {
    if (notify == nullptr)
      return EFI_INVALID_PARAMETER;
    // Any level a notification can run at (platform code uses 7, between
    // TPL_APPLICATION and TPL_CALLBACK).
    if (notifyTpl <= TPL_APPLICATION || notifyTpl >= TPL_HIGH_LEVEL)
      return EFI_INVALID_PARAMETER;
    if (namedLevelsOnly_ && notifyTpl != TPL_CALLBACK && notifyTpl != TPL_NOTIFY)
      return EFI_INVALID_PARAMETER;
  }
  auto e = std::make_unique<Event>();
  e->Type = type;
  e->Tpl = notifyTpl;
  e->Notify = (wait || signal) ? notify : nullptr;
  e->Context = const_cast<VOID *>(context);
  e->Group = groupGuid;
  e->Serial = ++createSerial_;
  *event = e.get();
  events_.emplace(e.get(), std::move(e));
  return EFI_SUCCESS;
}

void EventEngine::Queue(Event *e) {
  if (e->Queued || e->Notify == nullptr)
    return;
  e->Queued = true;
  queues_[e->Tpl].push_back(e);
}

void EventEngine::SignalOne(Event *e) {
  if (e->Signalled)
    return;
  e->Signalled = true;
  if (e->Type & EVT_NOTIFY_SIGNAL)
    Queue(e);
}

EFI_STATUS EventEngine::Signal(EFI_EVENT event) {
  Event *e = Lookup(event);
  if (e == nullptr)
    return EFI_INVALID_PARAMETER;
  EFI_TPL old = Raise(TPL_HIGH_LEVEL);
  if (e->Group) {
    EFI_GUID group = *e->Group;
    // Creation order: the order members were added to the group.
    std::vector<Event *> members;
    for (auto &[p, owned] : events_)
      if (p->Group && *p->Group == group)
        members.push_back(p);
    std::sort(members.begin(), members.end(),
              [](Event *a, Event *b) { return a->Serial < b->Serial; });
    for (Event *m : members)
      SignalOne(m);
  } else {
    SignalOne(e);
  }
  Restore(old);
  return EFI_SUCCESS;
}

void EventEngine::SignalGroup(const EFI_GUID &group) {
  EFI_EVENT event = nullptr;
  // The way the boot manager does it: a member with a no-op notification.
  auto noop = [](EFI_EVENT, VOID *) {};
  if (Create(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, noop, nullptr, &group, &event) != EFI_SUCCESS)
    throw SimulationError("cannot create an event of group " + GuidName(group));
  Signal(event);
  Close(event);
}

size_t EventEngine::GroupMembers(const EFI_GUID &group) const {
  size_t n = 0;
  for (auto &[p, owned] : events_)
    n += p->Group && *p->Group == group;
  return n;
}

EFI_STATUS EventEngine::Close(EFI_EVENT event) {
  Event *e = Lookup(event);
  if (e == nullptr)
    return EFI_INVALID_PARAMETER;
  if (e->Queued) {
    auto &q = queues_[e->Tpl];
    q.erase(std::remove(q.begin(), q.end(), e), q.end());
  }
  if (closeListener_)
    closeListener_(event);
  events_.erase(e);
  return EFI_SUCCESS;
}

EFI_STATUS EventEngine::Check(EFI_EVENT event) {
  Event *e = Lookup(event);
  if (e == nullptr || (e->Type & EVT_NOTIFY_SIGNAL))
    return EFI_INVALID_PARAMETER;
  if (!e->Signalled && (e->Type & EVT_NOTIFY_WAIT)) {
    // A wait event's notification polls its source, which signals it.
    EFI_TPL old = Raise(TPL_HIGH_LEVEL);
    Queue(e);
    Restore(old);
    if (!Lookup(event)) // the notification closed its own event
      return EFI_NOT_READY;
  }
  if (e->Signalled) {
    e->Signalled = false;
    return EFI_SUCCESS;
  }
  return EFI_NOT_READY;
}

EFI_STATUS EventEngine::Wait(UINTN count, EFI_EVENT *events, UINTN *index) {
  if (count == 0 || events == nullptr || index == nullptr)
    return EFI_INVALID_PARAMETER;
  if (tpl_ != TPL_APPLICATION)
    return EFI_UNSUPPORTED;
  int idleRounds = 0;
  for (;;) {
    for (UINTN i = 0; i < count; ++i) {
      EFI_STATUS status = Check(events[i]);
      if (status != EFI_NOT_READY) {
        *index = i;
        return status;
      }
    }
    bool progress = false;
    for (auto &[id, hook] : idleHooks_)
      progress = hook() || progress;
    if (!progress) {
      // Nothing new from the outside world: let time run to the next timer.
      uint64_t next = UINT64_MAX;
      for (auto &[p, owned] : events_)
        if (p->TimerArmed)
          next = std::min(next, p->Deadline);
      if (next != UINT64_MAX) {
        Advance(next > now_ ? next - now_ : 0);
        progress = true;
      }
    }
    if (!progress || ++idleRounds > kMaxIdleRounds)
      throw BoardHung{"WaitForEvent: nothing is left that could signal the awaited events"};
  }
}

EFI_STATUS EventEngine::SetTimer(EFI_EVENT event, EFI_TIMER_DELAY type, UINT64 triggerTime) {
  Event *e = Lookup(event);
  if (e == nullptr || !(e->Type & EVT_TIMER) || type > TimerRelative)
    return EFI_INVALID_PARAMETER;
  if (type == TimerCancel) {
    e->TimerArmed = false;
    return EFI_SUCCESS;
  }
  e->TimerArmed = true;
  e->Period = type == TimerPeriodic ? std::max<UINT64>(triggerTime, 1) : 0;
  e->Deadline = now_ + (type == TimerPeriodic ? e->Period : triggerTime);
  return EFI_SUCCESS;
}

void EventEngine::Advance(uint64_t ticks) {
  uint64_t target = now_ + ticks;
  for (;;) {
    Event *due = nullptr;
    for (auto &[p, owned] : events_)
      if (p->TimerArmed && p->Deadline <= target && (!due || p->Deadline < due->Deadline))
        due = p;
    if (due == nullptr)
      break;
    now_ = std::max(now_, due->Deadline);
    if (due->Period)
      due->Deadline += due->Period;
    else
      due->TimerArmed = false;
    Signal(due);
  }
  now_ = target;
}

EFI_TPL EventEngine::Raise(EFI_TPL newTpl) {
  EFI_TPL old = tpl_;
  if (newTpl < old)
    Misuse("RaiseTPL(" + std::to_string(newTpl) + ") below the current TPL " + std::to_string(old));
  if (newTpl > TPL_HIGH_LEVEL)
    Misuse("RaiseTPL(" + std::to_string(newTpl) + ") above TPL_HIGH_LEVEL");
  tpl_ = std::min<EFI_TPL>(newTpl, TPL_HIGH_LEVEL);
  return old;
}

void EventEngine::Restore(EFI_TPL oldTpl) {
  if (oldTpl > tpl_)
    Misuse("RestoreTPL(" + std::to_string(oldTpl) + ") above the current TPL " +
           std::to_string(tpl_));
  oldTpl = std::min<EFI_TPL>(oldTpl, TPL_HIGH_LEVEL);
  DispatchAbove(oldTpl);
  tpl_ = oldTpl;
}

void EventEngine::DispatchAbove(EFI_TPL level) {
  for (;;) {
    EFI_TPL highest = 0;
    for (EFI_TPL t = TPL_HIGH_LEVEL; t > level; --t)
      if (!queues_[t].empty()) {
        highest = t;
        break;
      }
    if (highest == 0)
      return;
    Event *e = queues_[highest].front();
    queues_[highest].pop_front();
    e->Queued = false;
    if (e->Type & EVT_NOTIFY_SIGNAL)
      e->Signalled = false;
    tpl_ = highest;
    // If the notification throws (a reset), the boot is over: no state to mend.
    e->Notify(e, e->Context);
  }
}

int EventEngine::AddIdleHook(IdleHook hook) {
  int id = nextHook_++;
  idleHooks_.emplace(id, std::move(hook));
  return id;
}

void EventEngine::RemoveIdleHook(int id) {
  idleHooks_.erase(id);
}

} // namespace sim
