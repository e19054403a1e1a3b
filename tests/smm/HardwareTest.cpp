// The hardware layer's exact port sequences and boot-script records, and the
// device state start-up leaves behind.
#include "button_smm/Hardware.h"
#include "SmmBoard.h"
#include "button_smm/Globals.h"

#include <optional>

namespace smmtest {
namespace {

using Strings = std::vector<std::string>;

struct Recorded {
  uint16_t OpCode;
  sim::ScriptForm Form;
  uint32_t Width;
  uint64_t Address;
  uint64_t Value; // I/O write: the value; read-modify-write: Data
  uint64_t Mask;
};

std::vector<Recorded> EntriesFrom(SmmBoard &board, size_t first) {
  std::vector<Recorded> list;
  const auto &entries = board.Smm().Script().Entries();
  for (size_t i = first; i < entries.size(); ++i) {
    const auto &e = entries[i];
    list.push_back({e.OpCode, e.Form, e.Width, e.Address, e.OpCode == 0 ? e.Values.at(0) : e.Data,
                    e.DataMask});
  }
  return list;
}

bool operator==(const Recorded &a, const Recorded &b) {
  return a.OpCode == b.OpCode && a.Form == b.Form && a.Width == b.Width && a.Address == b.Address &&
         a.Value == b.Value && a.Mask == b.Mask;
}
void PrintTo(const Recorded &r, std::ostream *os) {
  *os << "op " << r.OpCode << (r.Form == sim::ScriptForm::Framework ? " fw" : " pi") << " w"
      << r.Width << " @" << std::hex << r.Address << " v" << r.Value << " m" << r.Mask;
}

constexpr auto kFw = sim::ScriptForm::Framework;
constexpr auto kPi = sim::ScriptForm::Pi;

TEST(SmmHardware, StartupLeavesTheDevicesInTheirWorkingState) {
  SmmBoard board;
  auto &chipset = board.Chipset();
  EXPECT_EQ(chipset.Sio().Global(0x25), 0x20);
  EXPECT_EQ(chipset.Sio().Global(0x2A), 0x00);
  EXPECT_EQ(chipset.Sio().Global(0x28), 0x01);
  EXPECT_EQ(chipset.Sio().Global(0x23), 0x00);
  EXPECT_EQ(chipset.Sio().Global(0x07), 0x07);
  EXPECT_EQ(chipset.Sio().Device(7, 0x30), 0x01);
  EXPECT_EQ(chipset.Sio().Pin(0x57, 0xF1), 0x03);
  EXPECT_EQ(chipset.Sio().Pin(0x51, 0xF1), 0x03);
  EXPECT_EQ(chipset.Sio().Index(), 0x00); // the OS's index is put back
  EXPECT_EQ(chipset.Ports().Output(), 0x82);
  EXPECT_EQ(chipset.Ports().PowerControl1(), 0x08);
  EXPECT_EQ(chipset.Ec().Ram(0x6E4), 0x14);
  EXPECT_EQ(chipset.Ec().PageRegister(), 0x03); // low nibble of port 0xA03
  auto ports = chipset.Ports().Snapshot();
  EXPECT_EQ(ports["port.0500"], 0x42u);
  EXPECT_EQ(ports["port.0504"], 0x42u);
  EXPECT_EQ(ports["port.052C"], 0x02u);
  EXPECT_EQ(ports["port.0438"], 0x42u);
  EXPECT_EQ(chipset.Pci().LpcGpiRoute(), 0x1004u);
  EXPECT_EQ(board.Smm().Os().Read32(0), 0x1100u);
}

// Start-up changes only its own bits: the OS's status bits, the other bits of
// Super-I/O register 0x23 and the microphone-mute indicator (off throughout,
// the entry being enabled by default) stay as they were; the two pins it
// configures get their values whatever they held.
TEST(SmmHardware, StartupKeepsTheBitsItDoesNotOwn) {
  SmmBoard board({}, {}, [](SmmBoard &b) {
    b.Smm().Os().Write32(0, 0xA5000001);
    sim::IoSpace &io = b.Board().Io();
    io.Write(0x2E, 1, 0x23);
    io.Write(0x2F, 1, 0x03);
    // Pins 0x51 and 0x57 left configured by an earlier owner.
    for (uint8_t pin : {0x51, 0x57}) {
      const uint8_t writes[][2] = {{0x07, 0x07}, {0xF0, pin}, {0xF1, 0x0C}, {0xF2, 0x05}};
      for (const auto &w : writes) {
        io.Write(0x2E, 1, w[0]);
        io.Write(0x2F, 1, w[1]);
      }
    }
    io.Write(0x2E, 1, 0x00);
    b.Board().Trace().Clear();
  });
  for (uint8_t pin : {0x51, 0x57}) {
    EXPECT_EQ(board.Chipset().Sio().Pin(pin, 0xF1), 0x03) << int(pin);
    EXPECT_EQ(board.Chipset().Sio().Pin(pin, 0xF2), 0x00) << int(pin);
  }
  EXPECT_EQ(board.Smm().Os().Read32(0), 0xA5001101u);
  EXPECT_EQ(board.Chipset().Sio().Global(0x23), 0x01);
  size_t outputWrites = 0;
  for (const std::string &access : board.PortAccesses()) {
    if (access.rfind("W1 0A2E=", 0) != 0)
      continue;
    ++outputWrites;
    EXPECT_NE(std::stoul(access.substr(8), nullptr, 16) & 0x80, 0u) << access;
  }
  EXPECT_GE(outputWrites, 2u);
}

TEST(SmmHardware, EcWindowSequences) {
  struct Case {
    const char *Name;
    json Ec;
    uint8_t Ram;
    uint8_t Expected;
    Strings Accesses;
  };
  const Case cases[] = {
      {"plain",
       json::object(),
       0x12,
       0x12,
       {"W1 08FF=06", "R1 08C9=12", "R1 0A03=C3", "W1 08FF=03"}},
      {"busy once",
       {{"busy", "once"}},
       0x12,
       0x12,
       {"W1 08FF=06", "R1 08C9=FF", "R1 08C9=12", "R1 0A03=C3", "W1 08FF=03"}},
      {"busy always",
       {{"busy", "always"}},
       0x12,
       0xFF,
       {"W1 08FF=06", "R1 08C9=FF", "R1 08C9=FF", "R1 0A03=C3", "W1 08FF=03"}},
      {"0xFF twice",
       json::object(),
       0xFF,
       0xFF,
       {"W1 08FF=06", "R1 08C9=FF", "R1 08C9=FF", "R1 0A03=C3", "W1 08FF=03"}},
      {"other restore page",
       {{"page_restore", 0x5A}},
       0x34,
       0x34,
       {"W1 08FF=06", "R1 08C9=34", "R1 0A03=5A", "W1 08FF=0A"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    SmmBoard board({{"ec", c.Ec}});
    board.Chipset().Ec().SetRam(0x6C9, c.Ram);
    board.Board().Trace().Clear();
    EXPECT_EQ(ButtonSmm::EcRead(0x6C9), c.Expected);
    EXPECT_EQ(board.PortAccesses(), c.Accesses);
  }
}

TEST(SmmHardware, EcWritesAndTheirRecords) {
  SmmBoard board;
  size_t first = board.Smm().Script().Entries().size();
  board.Board().Trace().Clear();
  ButtonSmm::EcWrite(0x6A8, 0x40);
  EXPECT_EQ(board.PortAccesses(),
            (Strings{"W1 08FF=06", "W1 08A8=40", "R1 0A03=C3", "W1 08FF=03"}));
  EXPECT_EQ(board.Chipset().Ec().BacklightLevel(), 0x40);
  EXPECT_EQ(board.Smm().Script().Entries().size(), first);

  board.Board().Trace().Clear();
  ButtonSmm::EcWriteRecorded(0x6F5, 0x05);
  EXPECT_EQ(board.PortAccesses(),
            (Strings{"W1 08FF=06", "W1 08F5=05", "R1 0A03=C3", "W1 08FF=03"}));
  EXPECT_EQ(EntriesFrom(board, first),
            (std::vector<Recorded>{{0, kFw, 0, 0x8FF, 0x06, 0}, {0, kFw, 0, 0x8F5, 0x05, 0}}));

  // Reading the event register acknowledges exactly the bits read.
  board.Chipset().Ec().SetRam(0x6C1, 0x05);
  EXPECT_EQ(ButtonSmm::ReadAndAckEcEvent(), 0x05);
  EXPECT_EQ(board.Chipset().Ec().Ram(0x6C1), 0x00);
}

TEST(SmmHardware, SuperIoSequencesKeepTheOsIndex) {
  SmmBoard board;
  auto &io = board.Board().Io();
  io.Write(0x2E, 1, 0x21); // the OS is in the middle of its own access
  size_t first = board.Smm().Script().Entries().size();
  board.Board().Trace().Clear();
  EXPECT_EQ(ButtonSmm::SioRead(0x2A), 0x00);
  EXPECT_EQ(board.PortAccesses(),
            (Strings{"R1 002E=21", "W1 002E=2A", "R1 002F=00", "W1 002E=21"}));

  board.Board().Trace().Clear();
  ButtonSmm::SioWriteMasked(0x25, 0, 0x7F);
  EXPECT_EQ(board.PortAccesses(),
            (Strings{"R1 002E=21", "W1 002E=25", "R1 002F=20", "W1 002F=7F", "W1 002E=21"}));
  EXPECT_EQ(board.Chipset().Sio().Global(0x25), 0x7F);
  EXPECT_EQ(board.Chipset().Sio().Index(), 0x21);
  EXPECT_EQ(EntriesFrom(board, first),
            (std::vector<Recorded>{{0, kFw, 0, 0x2E, 0x25, 0}, {1, kFw, 0, 0x2F, 0x7F, 0x00}}));

  first = board.Smm().Script().Entries().size();
  ButtonSmm::SioPinConfig(0x40, 0xF2, 0x09);
  EXPECT_EQ(board.Chipset().Sio().Pin(0x40, 0xF2), 0x09);
  EXPECT_EQ(EntriesFrom(board, first), (std::vector<Recorded>{{0, kFw, 0, 0x2E, 0x07, 0},
                                                              {1, kFw, 0, 0x2F, 0x07, 0},
                                                              {0, kFw, 0, 0x2E, 0x30, 0},
                                                              {1, kFw, 0, 0x2F, 0x01, 0},
                                                              {0, kFw, 0, 0x2E, 0xF0, 0},
                                                              {1, kFw, 0, 0x2F, 0x40, 0},
                                                              {0, kFw, 0, 0x2E, 0xF2, 0},
                                                              {1, kFw, 0, 0x2F, 0x09, 0}}));
}

TEST(SmmHardware, PciConfigurationBothWays) {
  SmmBoard board;
  size_t first = board.Smm().Script().Entries().size();
  board.Chipset().Pci().Write32(0, 31, 0, 0xB8, 0x0000100C);
  board.Board().Trace().Clear();
  ButtonSmm::PciReadWriteRecorded(0, 31, 0, 0xB8, 0x00000004, 0xFFFFFFF3);
  EXPECT_EQ(board.PortAccesses(), (Strings{"W4 0CF8=8000F8B8", "R4 0CFC=0000100C",
                                           "W4 0CF8=8000F8B8", "W4 0CFC=00001004"}));
  EXPECT_EQ(EntriesFrom(board, first),
            (std::vector<Recorded>{{5, kFw, 2, 0x001F00B8, 0x4, 0xFFFFFFF3}}));

  // Extended registers go through the memory window, with a read-back.
  board.Board().Trace().Clear();
  EXPECT_EQ(ButtonSmm::PciWrite32(0, 31, 0, 0x140, 0xA5A5A5A5), 0xA5A5A5A5u);
  EXPECT_EQ(ButtonSmm::PciRead32(0, 31, 0, 0x140), 0xA5A5A5A5u);
  EXPECT_EQ(board.Chipset().Pci().Read32(0, 31, 0, 0x140), 0xA5A5A5A5u);
  EXPECT_TRUE(board.PortAccesses().empty());
  // An absent function reads all ones.
  EXPECT_EQ(ButtonSmm::PciRead32(0, 2, 0, 0x00), 0xFFFFFFFFu);
}

// The memory window reaches a function other than 0 (the SMBus controller at
// 0:31.3) and no other.
TEST(SmmHardware, PciExtendedRegistersOfAnotherFunction) {
  SmmBoard board;
  auto &pci = board.Chipset().Pci();
  EXPECT_EQ(ButtonSmm::PciWrite32(0, 31, 3, 0x1F0, 0x5A5A1234), 0x5A5A1234u);
  EXPECT_EQ(pci.Read32(0, 31, 3, 0x1F0), 0x5A5A1234u);
  EXPECT_EQ(pci.Read32(0, 31, 0, 0x1F0), 0u);
  pci.Write32(0, 31, 3, 0x104, 0x00C0FFEE);
  EXPECT_EQ(ButtonSmm::PciRead32(0, 31, 3, 0x104), 0x00C0FFEEu);
  EXPECT_EQ(ButtonSmm::PciRead32(0, 31, 3, 0x00), 0x0033ABCDu);
  EXPECT_EQ(ButtonSmm::PciRead32(0, 31, 5, 0x104), 0xFFFFFFFFu);
}

TEST(SmmHardware, PciAddressPortTakesTheDwordOfAnyRegisterBelow0x100) {
  SmmBoard board;
  // The low two register bits never reach 0xCF8: every byte of a dword names
  // the dword itself.
  const struct {
    uint16_t Register;
    const char *Address;
  } cases[] = {{0xB8, "8000F8B8"}, {0xB9, "8000F8B8"}, {0xBA, "8000F8B8"},
               {0xBB, "8000F8B8"}, {0xFF, "8000F8FC"}, {0x03, "8000F800"}};
  for (const auto &c : cases) {
    board.Board().Trace().Clear();
    ButtonSmm::PciRead32(0, 31, 0, c.Register);
    const std::string written = std::string("W4 0CF8=") + c.Address;
    ASSERT_FALSE(board.PortAccesses().empty());
    EXPECT_EQ(board.PortAccesses().front(), written) << std::hex << c.Register;
    board.Board().Trace().Clear();
    ButtonSmm::PciWrite32(0, 31, 0, c.Register, board.Chipset().Pci().Read32(0, 31, 0, c.Register));
    ASSERT_FALSE(board.PortAccesses().empty());
    EXPECT_EQ(board.PortAccesses().front(), written) << std::hex << c.Register;
  }
}

TEST(SmmHardware, AcpiModeNotificationAndOutputBits) {
  SmmBoard board;
  auto &ports = board.Chipset().Ports();
  ports.SetAcpiMode(false);
  board.Board().Trace().Clear();
  ButtonSmm::RaiseSci();
  EXPECT_EQ(board.PortAccesses(), (Strings{"R2 0404=0000"}));
  EXPECT_EQ(ports.SciCount(), 0u);

  ports.SetAcpiMode(true);
  board.Board().Trace().Clear();
  ButtonSmm::RaiseSci();
  EXPECT_EQ(board.PortAccesses(), (Strings{"R2 0404=0001", "R1 0A46=00", "W1 0A46=01"}));
  EXPECT_EQ(ports.SciCount(), 1u);

  struct Case {
    void (*Set)(BOOLEAN);
    BOOLEAN On;
    uint8_t Before, After;
  };
  const Case cases[] = {{ButtonSmm::SetOutputBit1, TRUE, 0x80, 0x82},
                        {ButtonSmm::SetOutputBit1, FALSE, 0x82, 0x80},
                        {ButtonSmm::SetMicMuteIndicator, TRUE, 0x82, 0x02},
                        {ButtonSmm::SetMicMuteIndicator, FALSE, 0x02, 0x82}};
  for (const Case &c : cases) {
    board.Board().Io().Write(0xA2E, 1, c.Before);
    c.Set(c.On);
    EXPECT_EQ(ports.Output(), c.After);
  }
}

TEST(SmmHardware, RecordedPortWritesUseTheSetupInterface) {
  SmmBoard board;
  size_t first = board.Smm().Script().Entries().size();
  ButtonSmm::IoWrite16Recorded(0x438, 0x0046);
  ButtonSmm::IoWrite32Recorded(0x52C, 0x12345678);
  EXPECT_EQ(board.Chipset().Ports().GpiSmiEnable(), 0x46);
  EXPECT_EQ(EntriesFrom(board, first), (std::vector<Recorded>{{0, kFw, 1, 0x438, 0x46, 0},
                                                              {0, kFw, 2, 0x52C, 0x12345678, 0}}));
}

// Successive boot-script lookups: boot-service entry, SMRAM entry, the
// reference (first recording write), the GPI 1 set-up.
TEST(SmmHardware, RecordsTakeTheFormOfTheInterfaceHeld) {
  struct Case {
    const char *Name;
    std::vector<std::string> Lookups;
    std::optional<sim::ScriptForm> EcAndSuperIo; // none: not recorded
    std::optional<sim::ScriptForm> PortsAndPci;
  };
  const Case cases[] = {
      {"framework everywhere", {"framework"}, kFw, kFw},
      {"pi at entry", {"pi", "pi", "framework"}, kPi, kFw},
      {"pi for the set-up", {"framework", "framework", "framework", "pi"}, kFw, kPi},
      {"absent at entry", {"absent", "absent", "framework"}, std::nullopt, kFw},
      {"absent for the set-up",
       {"framework", "framework", "framework", "absent"},
       kFw,
       std::nullopt},
      {"absent everywhere", {"absent"}, std::nullopt, std::nullopt},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    SmmBoard board({{"boot_script", {{"lookups", c.Lookups}}}});
    ButtonSmm::SioWriteMasked(0x25, 0, 0x20);
    ButtonSmm::PciReadWriteRecorded(0, 31, 0, 0xB8, 0x00000004, 0xFFFFFFF3);
    size_t superIo = 0, pci = 0;
    for (const auto &e : board.Smm().Script().Entries()) {
      bool isPciOrPort = e.OpCode == 5 || (e.Address >= 0x400 && e.Address < 0x800);
      const auto &expected = isPciOrPort ? c.PortsAndPci : c.EcAndSuperIo;
      ASSERT_TRUE(expected.has_value()) << e.ToString();
      EXPECT_EQ(e.Form, *expected) << e.ToString();
      superIo += e.Address == 0x2F;
      pci += e.OpCode == 5;
    }
    EXPECT_EQ(superIo > 0, c.EcAndSuperIo.has_value());
    EXPECT_EQ(pci > 0, c.PortsAndPci.has_value());
  }
}

} // namespace
} // namespace smmtest
