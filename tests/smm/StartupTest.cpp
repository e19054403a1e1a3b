// ButtonSmm's two instances on the board: the boot-service instance's Register
// call, the fixed registration order and the end state of every failing step.
#include "SmmBoard.h"
#include "button_smm/Globals.h"
#include "sim/core/Pool.h"

#include <cstring>

namespace smmtest {
namespace {

TEST(SmmStartup, RegistersItsOwnFileOnceAndStartsInSmm) {
  std::vector<std::vector<uint8_t>> paths;
  size_t liveDuringRegister = 0;
  SmmBoard board({}, {}, [&](SmmBoard &b) {
    auto load = b.Smm().Core().Load;
    b.Smm().Core().Load = [&, load](const EFI_DEVICE_PATH_PROTOCOL *path, EFI_HANDLE *image) {
      auto *bytes = reinterpret_cast<const uint8_t *>(path);
      paths.emplace_back(bytes, bytes + 44);
      liveDuringRegister = b.Board().Pool().LiveCount();
      return load(path, image);
    };
  });
  // The full path lived in pool during Register and was freed afterwards.
  EXPECT_EQ(board.Board().Pool().LiveCount(), liveDuringRegister - 1);
  ASSERT_EQ(paths.size(), 1u);
  const std::vector<uint8_t> &path = paths[0];
  // The firmware volume's node, the image's file node, one end node.
  EXPECT_EQ(path[0], MEDIA_DEVICE_PATH);
  EXPECT_EQ(path[1], 0x07);
  EXPECT_EQ(path[2], 20);
  EXPECT_EQ(path[20], MEDIA_DEVICE_PATH);
  EXPECT_EQ(path[21], 0x06);
  EXPECT_EQ(path[22], 20);
  const EFI_GUID buttonFile = {
      0x7D4C9B12, 0x3E5F, 0x4B68, {0xA1, 0x0C, 0x62, 0x93, 0xE8, 0x5D, 0x17, 0x4F}};
  EXPECT_EQ(std::memcmp(&path[24], &buttonFile, 16), 0);
  EXPECT_EQ(std::vector<uint8_t>(path.begin() + 40, path.end()),
            (std::vector<uint8_t>{0x7F, 0xFF, 0x04, 0x00}));

  ASSERT_EQ(board.Board().Images().size(), 2u);
  EXPECT_EQ(board.Board().Images()[0].Status, EFI_SUCCESS);
  EXPECT_EQ(board.Board().Images()[1].Name, "ButtonSmm (SMRAM)");
  EXPECT_EQ(board.Registrations(), (std::vector<std::string>{"sw:E0", "sw:E3", "gpi:6", "gpi:1"}));
}

TEST(SmmStartup, RuntimeServicesComeFromTheSmstWhenPublished) {
  {
    SmmBoard board;
    EXPECT_EQ(ButtonSmm::gRT, board.Smm().Core().SmmRuntimeServices());
  }
  {
    SmmBoard board({{"smm_runtime_services", false}});
    EXPECT_EQ(ButtonSmm::gRT, board.Board().RuntimeServices());
  }
}

// The table the driver was handed carries the Framework signature: the
// characters "SMST" in memory order.
TEST(SmmStartup, SmstSignatureReadsSmst) {
  SmmBoard board;
  ASSERT_NE(ButtonSmm::gSmst, nullptr);
  EXPECT_EQ(std::memcmp(&ButtonSmm::gSmst->Hdr.Signature, "SMST\0\0\0\0", 8), 0);
}

struct StartupCase {
  const char *Name;
  std::vector<std::string> Faults;
  json Smm;
  EFI_STATUS Status;
  std::vector<std::string> Registered;
  bool HardwareStarted;
  bool Gpi1Routed;
};

// LocateProtocol calls in order: boot-script and SMM base in each instance's
// entry (1 to 4), then platform data (5), GPI dispatch (6), SMM base (7), SW
// dispatch (8), command buffer (9).
const StartupCase kStartupCases[] = {
    {"complete", {}, {}, EFI_SUCCESS, {"sw:E0", "sw:E3", "gpi:6", "gpi:1"}, true, true},
    {"smm base absent", {"LocateProtocol#2=EFI_NOT_FOUND"}, {}, EFI_NOT_FOUND, {}, false, false},
    {"register refused",
     {"SmmBase.Register=EFI_ACCESS_DENIED"},
     {},
     EFI_ACCESS_DENIED,
     {},
     false,
     false},
    {"no smst at entry",
     {"SmmBase.GetSmstLocation#1=EFI_NOT_FOUND"},
     {},
     EFI_NOT_FOUND,
     {},
     false,
     false},
    {"no platform data", {"LocateProtocol#5=EFI_NOT_FOUND"}, {}, EFI_NOT_FOUND, {}, false, false},
    {"no gpi dispatch", {"LocateProtocol#6=EFI_NOT_FOUND"}, {}, EFI_NOT_FOUND, {}, false, false},
    {"no smst in main",
     {"SmmBase.GetSmstLocation#2=EFI_DEVICE_ERROR"},
     {},
     EFI_DEVICE_ERROR,
     {},
     false,
     false},
    {"no sw dispatch", {"LocateProtocol#8=EFI_NOT_FOUND"}, {}, EFI_NOT_FOUND, {}, false, false},
    {"sw 0xE0 refused",
     {"SwDispatch.Register#1=EFI_OUT_OF_RESOURCES"},
     {},
     EFI_OUT_OF_RESOURCES,
     {},
     false,
     false},
    {"sw 0xE3 refused",
     {"SwDispatch.Register#2=EFI_OUT_OF_RESOURCES"},
     {},
     EFI_OUT_OF_RESOURCES,
     {"sw:E0"},
     false,
     false},
    {"sw 0xE3 warning",
     {"SwDispatch.Register#2=EFI_WARN_WRITE_FAILURE"},
     {},
     EFI_WARN_WRITE_FAILURE,
     {"sw:E0"},
     false,
     false},
    {"no command buffer",
     {},
     {{"command_buffer", {{"installed", false}}}},
     EFI_NOT_FOUND,
     {"sw:E0", "sw:E3"},
     false,
     false},
    {"gate unreadable",
     {"PlatformData.GetData#1=EFI_NOT_READY"},
     {},
     EFI_NOT_READY,
     {"sw:E0", "sw:E3"},
     false,
     false},
    {"gate set",
     {},
     {{"platform_data", {{"gate", 1}}}},
     EFI_SUCCESS,
     {"sw:E0", "sw:E3"},
     false,
     false},
    {"gpi 6 refused",
     {"GpiDispatch.Register#1=EFI_INVALID_PARAMETER"},
     {},
     EFI_INVALID_PARAMETER,
     {"sw:E0", "sw:E3"},
     false,
     false},
    {"block unreadable",
     {"PlatformData.GetData#2=EFI_DEVICE_ERROR"},
     {},
     EFI_DEVICE_ERROR,
     {"sw:E0", "sw:E3", "gpi:6"},
     false,
     false},
    {"gpi 1 refused",
     {"GpiDispatch.Register#2=EFI_OUT_OF_RESOURCES"},
     {},
     EFI_OUT_OF_RESOURCES,
     {"sw:E0", "sw:E3", "gpi:6"},
     true,
     false},
};

TEST(SmmStartup, EveryFailingStepLeavesItsEndState) {
  for (const StartupCase &c : kStartupCases) {
    SCOPED_TRACE(c.Name);
    SmmBoard board(c.Smm, c.Faults);
    EXPECT_EQ(board.EntryStatus(), c.Status);
    EXPECT_EQ(board.Registrations(), c.Registered);
    // Start-up sets bit 5 of Super-I/O register 0x25 and the key-code bit of the OS buffer.
    EXPECT_EQ((board.Chipset().Sio().Global(0x25) & 0x20) != 0, c.HardwareStarted);
    EXPECT_EQ((board.Smm().Os().Read32(0) & 0x1100) == 0x1100, c.HardwareStarted);
    EXPECT_EQ((board.Chipset().Ports().GpiSmiEnable() & 0x02) != 0, c.Gpi1Routed);
    EXPECT_EQ((board.Chipset().Pci().LpcGpiRoute() >> 2 & 3) == 1, c.Gpi1Routed);
  }
}

TEST(SmmStartup, PlatformBlockIsReadWithTheGateFirst) {
  SmmBoard board({{"platform_data", {{"panel", 4}, {"repeat_delay", 3}, {"repeat_rate", 9}}}});
  EXPECT_EQ(board.Smm().Data().Reads(), 2u);
  EXPECT_EQ(ButtonSmm::gButtonPlatformConfig.PanelIndex, 4);
  // Start-up puts the repeat timing back to its defaults.
  EXPECT_EQ(ButtonSmm::gButtonPlatformConfig.RepeatDelay, 2);
  EXPECT_EQ(ButtonSmm::gButtonPlatformConfig.RepeatRate, 1);
}

} // namespace
} // namespace smmtest
