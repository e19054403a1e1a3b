// S3 resume from the recorded script, the EC's key-code hand-over and the
// power button.
#include "SmmBoard.h"
#include "button_smm/Hardware.h"

#include <algorithm>

namespace smmtest {
namespace {

bool Contains(const std::vector<std::string> &list, const std::string &name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

TEST(SmmS3, ResumeRestoresEveryRegisterStartupSet) {
  SmmBoard board;
  sim::S3Result s3 = board.Chipset().SuspendResume();
  std::vector<std::string> lost = s3.Lost();
  for (const char *name :
       {"superio.25", "superio.28", "superio.07", "superio.ldn7.30", "superio.pin57.F1",
        "superio.pin51.F1", "port.0438", "port.0500", "port.0504", "port.052C", "pci.00:1F.0.B8",
        "ec.0x6C5", "ec.0x6F3", "ec.0x6F5"})
    EXPECT_TRUE(Contains(lost, name)) << name;
  EXPECT_GT(s3.Replayed, 0u);
  EXPECT_EQ(s3.Differences(), std::vector<std::string>{});
  // GPI 1 reaches SMM again after the resume.
  EXPECT_EQ((board.Chipset().Ports().GpiSmiEnable() & 2), 2);
}

TEST(SmmS3, WithoutRecordsTheDevicesStayLost) {
  struct Case {
    const char *Name;
    json Smm;
    std::vector<std::string> Faults;
  };
  const Case cases[] = {
      {"no boot-script service", {{"boot_script", {{"lookups", {"absent"}}}}}, {}},
      {"every Write refused", json::object(), {"BootScript.Write=EFI_OUT_OF_RESOURCES"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    SmmBoard board(c.Smm, c.Faults);
    // The writes are made all the same; only their records are missing.
    EXPECT_EQ(board.Registrations().size(), 4u);
    EXPECT_EQ(board.Chipset().Sio().Global(0x25), 0x20);
    EXPECT_TRUE(board.Smm().Script().Entries().empty());
    std::vector<std::string> differences = board.Chipset().SuspendResume().Differences();
    for (const char *name : {"superio.25", "port.0438", "pci.00:1F.0.B8"})
      EXPECT_TRUE(Contains(differences, name)) << name;
  }
}

TEST(SmmS3, ReplayAppliesReadModifyWrites) {
  SmmBoard board;
  auto &chipset = board.Chipset();
  // Replay of an OR/AND record keeps the bits its mask keeps.
  chipset.Pci().Write32(0, 31, 0, 0xB8, 0);
  chipset.SuspendResume();
  EXPECT_EQ(chipset.Pci().LpcGpiRoute(), 0x1004u); // power-on 0x1000, AND 0xFFFFFFF3, OR 4
}

TEST(SmmEc, ButtonsRaiseGpi6AndTheEcTakesTheSlots) {
  sim::EmbeddedController::Options options;
  sim::EmbeddedController ec(options);
  std::vector<unsigned> raised;
  ec.RaiseGpi = [&raised](unsigned gpi) { raised.push_back(gpi); };
  ec.Press(0x01);
  ec.Hold();
  ec.Press(0x04);
  ec.Release(0x05);
  EXPECT_EQ(raised, (std::vector<unsigned>{6, 6, 6, 6}));
  EXPECT_EQ(ec.Buttons(), 0x00);
  EXPECT_EQ(ec.Ram(0x6C1), 0x01);

  ec.SetRam(0x690, 0xE0);
  ec.SetRam(0x691, 0x30);
  ec.SetRam(0x6D5, 0x21);
  ec.ServiceKeySlots();
  EXPECT_EQ(ec.KeyboardStream(), (std::vector<uint8_t>{0xE0, 0x30}));
  EXPECT_EQ(ec.Ram(0x6D5), 0x00);
  // Nothing pending: nothing taken.
  ec.ServiceKeySlots();
  EXPECT_EQ(ec.KeyboardStream().size(), 2u);

  options.TakeKeyCodes = false;
  sim::EmbeddedController stuck(options);
  stuck.SetRam(0x6D5, 0x21);
  stuck.ServiceKeySlots();
  EXPECT_TRUE(stuck.KeyboardStream().empty());
  EXPECT_EQ(stuck.Ram(0x6D5), 0x21);
}

TEST(SmmPower, PowerButtonSwitchesTheMachineOff) {
  SmmBoard board;
  board.Board().Trace().Clear();
  sim::BootResult result =
      board.Board().Run([&board](sim::Board &) { board.Chipset().RaiseGpi(1); });
  EXPECT_EQ(result.Outcome, sim::BootOutcome::Halted);
  EXPECT_TRUE(board.Chipset().Ports().PowerOffRequested());
  EXPECT_EQ(board.Smm().Core().HaltContext(), "smi:gpi1");
  EXPECT_EQ(board.PortAccesses("smi:gpi1"),
            (std::vector<std::string>{"W1 0A00=19", "R1 0A01=08", "W1 0A01=48", "R2 0438=0042",
                                      "W2 0438=0040"}));
}

TEST(SmmPower, PowerButtonWithoutStartupDoesNotReachSmm) {
  SmmBoard board({{"platform_data", {{"gate", 1}}}});
  EXPECT_EQ(board.Chipset().RaiseGpi(1), "ignored");
  EXPECT_FALSE(board.Chipset().Ports().PowerOffRequested());
  EXPECT_EQ(board.Smm().Core().SmiCount(), 0u);
}

} // namespace
} // namespace smmtest
