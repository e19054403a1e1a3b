#include "BoardFixture.h"

#include "sim/core/Errors.h"
#include "sim/core/Events.h"

#include <string>
#include <vector>

namespace {

using EventTest = simtest::BoardTest;

struct Probe {
  std::vector<std::string> *log;
  std::string name;
  EFI_BOOT_SERVICES *bs;
  EFI_EVENT chained = nullptr; // signalled from inside this notification
};

void EFIAPI Record(EFI_EVENT, VOID *context) {
  auto *p = static_cast<Probe *>(context);
  p->log->push_back(p->name + "@" + std::to_string(sim::Board::Current().Events().CurrentTpl()));
  if (p->chained)
    p->bs->SignalEvent(p->chained);
}

TEST_F(EventTest, NotificationsRunHighestTplFirstWhenTheTplDrops) {
  std::vector<std::string> log;
  struct Want {
    const char *name;
    EFI_TPL tpl;
  } wanted[] = {{"cb", TPL_CALLBACK}, {"seven", 7}, {"notify", TPL_NOTIFY}, {"cb2", TPL_CALLBACK}};
  std::vector<Probe> probes;
  probes.reserve(4);
  std::vector<EFI_EVENT> events;
  for (auto &s : wanted) {
    probes.push_back({&log, s.name, bs_});
    EFI_EVENT e = nullptr;
    ASSERT_EQ(bs_->CreateEvent(EVT_NOTIFY_SIGNAL, s.tpl, Record, &probes.back(), &e), EFI_SUCCESS);
    events.push_back(e);
  }
  EFI_TPL old = bs_->RaiseTPL(TPL_HIGH_LEVEL);
  for (EFI_EVENT e : events)
    bs_->SignalEvent(e);
  EXPECT_TRUE(log.empty());
  bs_->RestoreTPL(old);
  EXPECT_EQ(log, (std::vector<std::string>{"notify@16", "cb@8", "cb2@8", "seven@7"}));
}

TEST_F(EventTest, SignalFromANotificationBelowItsTplWaitsUntilTheTplDrops) {
  std::vector<std::string> log;
  Probe low{&log, "low", bs_}, high{&log, "high", bs_};
  EFI_EVENT lowEvent = nullptr, highEvent = nullptr;
  bs_->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, Record, &low, &lowEvent);
  bs_->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_NOTIFY, Record, &high, &highEvent);
  Probe starter{&log, "start", bs_, lowEvent};
  Probe starterHigh{&log, "start2", bs_, highEvent};
  EFI_EVENT a = nullptr, b = nullptr;
  bs_->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_NOTIFY, Record, &starter, &a);
  bs_->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, Record, &starterHigh, &b);
  bs_->SignalEvent(a); // at TPL_NOTIFY signals a TPL_CALLBACK event: runs after
  bs_->SignalEvent(b); // at TPL_CALLBACK signals a TPL_NOTIFY event: runs at once
  EXPECT_EQ(log, (std::vector<std::string>{"start@16", "low@8", "start2@8", "high@16"}));
}

TEST_F(EventTest, SignallingOneMemberSignalsTheWholeGroup) {
  std::vector<std::string> log;
  Probe p1{&log, "one", bs_}, p2{&log, "two", bs_}, p3{&log, "other", bs_};
  EFI_EVENT e1 = nullptr, e2 = nullptr, e3 = nullptr;
  ASSERT_EQ(bs_->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, Record, &p1,
                               &gEfiEventReadyToBootGuid, &e1),
            EFI_SUCCESS);
  ASSERT_EQ(bs_->CreateEventEx(EVT_NOTIFY_SIGNAL, 7, Record, &p2, &gEfiEventReadyToBootGuid, &e2),
            EFI_SUCCESS);
  bs_->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, Record, &p3, &e3);
  bs_->SignalEvent(e2);
  EXPECT_EQ(log, (std::vector<std::string>{"one@8", "two@7"}));

  // The boot manager's signal reaches the remaining members only.
  bs_->CloseEvent(e1);
  log.clear();
  board_->Events().SignalGroup(gEfiEventReadyToBootGuid);
  EXPECT_EQ(log, (std::vector<std::string>{"two@7"}));
}

TEST_F(EventTest, CreateEventRejectsBadArguments) {
  EFI_EVENT e = nullptr;
  struct Case {
    UINT32 type;
    EFI_TPL tpl;
    bool withNotify;
    const EFI_GUID *group;
  } cases[] = {
      {EVT_NOTIFY_SIGNAL | EVT_NOTIFY_WAIT, TPL_CALLBACK, true, nullptr},
      {EVT_NOTIFY_SIGNAL, TPL_CALLBACK, false, nullptr},
      {EVT_NOTIFY_SIGNAL, TPL_HIGH_LEVEL, true, nullptr},
      {EVT_NOTIFY_SIGNAL, TPL_APPLICATION, true, nullptr},
      {EVT_SIGNAL_EXIT_BOOT_SERVICES, TPL_CALLBACK, true, &gEfiEventReadyToBootGuid},
      {0x00000400, TPL_CALLBACK, true, nullptr},
  };
  for (const auto &c : cases)
    EXPECT_EQ(
        bs_->CreateEventEx(c.type, c.tpl, c.withNotify ? Record : nullptr, nullptr, c.group, &e),
        EFI_INVALID_PARAMETER)
        << "type " << c.type << " tpl " << c.tpl;
  EXPECT_EQ(bs_->CreateEvent(0, 0, nullptr, nullptr, nullptr), EFI_INVALID_PARAMETER);
}

struct KeySource {
  EFI_BOOT_SERVICES *bs;
  EFI_EVENT event = nullptr;
  int keys = 0;  // keys the source can still deliver
  int polls = 0; // notifications of the wait event
  bool ready = false;
};

void EFIAPI PollKeys(EFI_EVENT event, VOID *context) {
  auto *k = static_cast<KeySource *>(context);
  ++k->polls;
  if (k->ready) {
    k->ready = false;
    k->bs->SignalEvent(event);
  }
}

TEST_F(EventTest, WaitForEventTakesKeysFromTheIdleHookAndHangsWithoutThem) {
  KeySource keys{bs_};
  ASSERT_EQ(bs_->CreateEvent(EVT_NOTIFY_WAIT, TPL_NOTIFY, PollKeys, &keys, &keys.event),
            EFI_SUCCESS);
  keys.keys = 2;
  board_->Events().AddIdleHook([&] {
    if (keys.keys == 0)
      return false;
    --keys.keys;
    keys.ready = true;
    return true;
  });
  UINTN index = 9;
  EXPECT_EQ(bs_->WaitForEvent(1, &keys.event, &index), EFI_SUCCESS);
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(bs_->WaitForEvent(1, &keys.event, &index), EFI_SUCCESS);
  EXPECT_GE(keys.polls, 2);
  EXPECT_THROW(bs_->WaitForEvent(1, &keys.event, &index), sim::BoardHung);

  // Only at TPL_APPLICATION.
  EFI_TPL old = bs_->RaiseTPL(TPL_CALLBACK);
  EXPECT_EQ(bs_->WaitForEvent(1, &keys.event, &index), EFI_UNSUPPORTED);
  bs_->RestoreTPL(old);
}

TEST_F(EventTest, TimersFireOnSimulatedTime) {
  std::vector<std::string> log;
  Probe p{&log, "tick", bs_};
  EFI_EVENT timer = nullptr;
  ASSERT_EQ(bs_->CreateEvent(EVT_TIMER | EVT_NOTIFY_SIGNAL, TPL_CALLBACK, Record, &p, &timer),
            EFI_SUCCESS);
  ASSERT_EQ(bs_->SetTimer(timer, TimerPeriodic, 10000), EFI_SUCCESS); // 1 ms
  bs_->Stall(3500);
  EXPECT_EQ(log.size(), 3u);
  bs_->SetTimer(timer, TimerCancel, 0);
  bs_->Stall(5000);
  EXPECT_EQ(log.size(), 3u);

  // WaitForEvent lets time run to a pending timer.
  EFI_EVENT oneShot = nullptr;
  bs_->CreateEvent(EVT_TIMER, 0, nullptr, nullptr, &oneShot);
  bs_->SetTimer(oneShot, TimerRelative, 50000);
  uint64_t before = board_->Events().Now();
  UINTN index = 1;
  EXPECT_EQ(bs_->WaitForEvent(1, &oneShot, &index), EFI_SUCCESS);
  EXPECT_EQ(board_->Events().Now() - before, 50000u);
}

TEST_F(EventTest, TplMisuseIsReportedAsAnError) {
  EFI_TPL old = bs_->RaiseTPL(TPL_NOTIFY);
  bs_->RaiseTPL(TPL_CALLBACK);
  bs_->RestoreTPL(old);
  EXPECT_FALSE(board_->Report().Errors().empty());
}

} // namespace
