// The TPM requests byte for byte, and the three reads against the libtpms TPM
// in each state, through both vendor paths.
#include "tpm_platform/core/TpmTransport.h"
#include "tpm_core/TestBoard.h"
#include "tpm_platform/core/Hooks.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tpmtest {
namespace {

using namespace TpmPlatform;
using sim::tcg::TcgProtocol;

// A board whose TPM is started (the earlier phase ran) and whose TCG
// protocol is published; the driver itself is not loaded.
class Transport : public ::testing::Test {
protected:
  void Start(json tpm = json::object()) {
    board_.emplace(
        json{{"boot", {{"phases", {"power-on", "early", "dxe-ready", "board-protocols"}}}},
             {"drivers", {{"tpm_platform", {{"load", false}}}}},
             {"tpm", tpm}});
    (*board_)->Boot();
    board_->BindDriver();
    tcg_ = board_->Tpm().Tcg();
  }
  EFI_TCG_PROTOCOL *Tcg() { return tcg_->Interface(); }
  const TcgProtocol::Exchange &Last() { return tcg_->Exchanges().back(); }
  sim::tpm::Tpm12 &Chip() { return board_->Tpm().Chip(); }

  std::optional<TestBoard> board_;
  TcgProtocol *tcg_ = nullptr;
};

Bytes Hex(std::initializer_list<int> bytes) {
  return Bytes(bytes.begin(), bytes.end());
}

TEST_F(Transport, SendCommandFramesBigEndian) {
  Start();
  EXPECT_EQ(TpmSendCommand(Tcg(), TPM_ORD_ContinueSelfTest, 0, nullptr), 0u);
  EXPECT_EQ(Last().Request, Hex({0x00, 0xC1, 0, 0, 0, 0x0A, 0, 0, 0, 0x53}));
  EXPECT_EQ(Last().OutputSize, 1024u);

  const UINT8 lock[] = {0x00, 0x04};
  EXPECT_EQ(TpmSendCommand(Tcg(), TSC_ORD_PhysicalPresence, 2, lock), 0u);
  EXPECT_EQ(Last().Request, Hex({0x00, 0xC1, 0, 0, 0, 0x0C, 0x40, 0, 0, 0x0A, 0x00, 0x04}));
  EXPECT_TRUE(Chip().ReadVolatileFlags().PhysicalPresenceLock);

  // The returnCode is loaded little-endian: 00 00 00 26 reads 0x26000000.
  const UINT8 clear[] = {0x00, 0x01};
  EXPECT_EQ(TpmSendCommand(Tcg(), 0x99, 2, clear), 0x26000000u); // a second TPM_Startup
}

TEST_F(Transport, SendCommandRefusesAParameterBlockBeyondItsBuffer) {
  Start();
  static UINT8 big[kTpmCommandBufferSize] = {};
  size_t sent = tcg_->Exchanges().size();
  EXPECT_EQ(TpmSendCommand(Tcg(), TPM_ORD_ContinueSelfTest, kTpmCommandBufferSize - 9, big),
            0x17000000u); // TPM_SIZE
  EXPECT_EQ(tcg_->Exchanges().size(), sent);
  // The largest block that fits goes out (the TPM judges its content).
  EXPECT_NE(TpmSendCommand(Tcg(), TPM_ORD_ContinueSelfTest, kTpmCommandBufferSize - 10, big),
            0x17000000u);
  EXPECT_EQ(tcg_->Exchanges().size(), sent + 1);
  EXPECT_EQ(Last().Request.size(), kTpmCommandBufferSize);
}

const Bytes kPermanentRequest = {0x00, 0xC1, 0, 0, 0, 0x16, 0, 0, 0, 0x65, 0,
                                 0,    0,    4, 0, 0, 0,    4, 0, 0, 1,    0x08};
const Bytes kVolatileRequest = {0x00, 0xC1, 0, 0, 0, 0x16, 0, 0, 0, 0x65, 0,
                                0,    0,    4, 0, 0, 0,    4, 0, 0, 1,    0x09};
const Bytes kOwnerRequest = {0x00, 0xC1, 0, 0, 0, 0x16, 0, 0, 0, 0x65, 0,
                             0,    0,    5, 0, 0, 0,    4, 0, 0, 1,    0x11};
const Bytes kVendorRequest = {0x00, 0xC1, 0, 0, 0, 0x0A, 0x20, 0, 0, 0x21};

struct TpmState {
  const char *Name;
  bool Enabled, Activated, Owned;
};
const TpmState kStates[] = {{"enabled_activated", true, true, false},
                            {"disabled", false, true, false},
                            {"deactivated", true, false, false},
                            {"disabled_deactivated", false, false, false},
                            {"owned", true, true, true},
                            {"owned_disabled", false, true, true}};

TEST_F(Transport, ReadsMatchTheTpmInEveryStateThroughBothVendorPaths) {
  for (const TpmState &s : kStates) {
    // 0x15D1 takes the standard path like any other vendor but 0x1050.
    for (int vendor : {s.Owned ? 0x15D1 : 0x1014, 0x1050}) {
      SCOPED_TRACE(testing::Message() << s.Name << " vendor " << std::hex << vendor);
      Start({{"vendor_id", vendor},
             {"enabled", s.Enabled},
             {"activated", s.Activated},
             {"owned", s.Owned}});
      EXPECT_EQ(TpmVendorId(), vendor);
      const bool vendorPath = vendor == 0x1050;

      UINT8 owned = TpmReadOwned(Tcg());
      EXPECT_EQ(owned, s.Owned ? 1 : 0);
      EXPECT_EQ(Last().Request, vendorPath ? kVendorRequest : kOwnerRequest);
      EXPECT_EQ(Last().OutputSize, 512u);

      TpmPermanentFlagsRecord record;
      std::memset(&record, 0xCC, sizeof record);
      TpmReadPermanentFlags(Tcg(), &record);
      EXPECT_EQ(Last().Request, vendorPath ? kVendorRequest : kPermanentRequest);
      EXPECT_EQ(Last().OutputSize, 256u);
      EXPECT_EQ(record.Disable, s.Enabled ? 0 : 1);
      EXPECT_EQ(record.Deactivated, s.Activated ? 0 : 1);
      const auto *bytes = reinterpret_cast<const UINT8 *>(&record);
      if (vendorPath) {
        // Only the three flags are filled; the rest stays zero.
        EXPECT_EQ(record.Ownership, s.Owned ? 1 : 0);
        for (size_t i = 0; i < sizeof record; ++i)
          if (i < 16 || i > 18)
            EXPECT_EQ(bytes[i], 0) << "byte " << i;
      } else {
        // The first 36 bytes of the TPM's own answer.
        EXPECT_EQ(Bytes(bytes, bytes + 36),
                  Bytes(Last().Response.begin(), Last().Response.begin() + 36));
        EXPECT_EQ(record.Ownership, Chip().ReadPermanentFlags().Ownership ? 1 : 0);
      }
    }
  }
}

TEST_F(Transport, VolatileFlagsFollowThePresenceLock) {
  for (bool locked : {false, true}) {
    SCOPED_TRACE(locked);
    Start({{"vendor_id", 0x1050}, {"physical_presence_locked", locked}});
    TpmVolatileFlagsRecord record;
    TpmReadVolatileFlags(Tcg(), &record);
    EXPECT_EQ(Last().Request, kVolatileRequest); // no vendor special case
    EXPECT_EQ(Last().OutputSize, 256u);
    EXPECT_EQ(record.PhysicalPresenceLock, locked ? 1 : 0);
    EXPECT_EQ(record.Deactivated, 0);
  }
}

TEST_F(Transport, FailingVendorCommandLeavesOnlyTheReturnCode) {
  Start({{"vendor_id", 0x1050}, {"enabled", false}, {"owned", true}, {"vendor_state_fails", true}});
  TpmPermanentFlagsRecord record;
  std::memset(&record, 0xCC, sizeof record);
  TpmReadPermanentFlags(Tcg(), &record);
  const auto *bytes = reinterpret_cast<const UINT8 *>(&record);
  for (size_t i = 0; i < sizeof record; ++i)
    EXPECT_EQ(bytes[i], (i >= 6 && i <= 9) ? Last().Response[i] : 0) << "byte " << i;
  EXPECT_EQ(Bytes(bytes + 6, bytes + 10), Hex({0, 0, 0, 9}));
  EXPECT_EQ(TpmReadOwned(Tcg()), 0);
}

TEST_F(Transport, VendorResponseBytesAreReadAsFlags) {
  // Vendor answer bytes 10..13 = 0, 5, 9, 1: disable 0, deactivated 1, owned 1.
  Start({{"vendor_id", 0x1050}});
  static const UINT8 answer[] = {0x00, 0xC4, 0, 0, 0, 0x0E, 0, 0, 0, 0, 0, 5, 9, 1};
  EFI_TCG_PROTOCOL fake = *Tcg();
  fake.PassThroughToTpm = [](EFI_TCG_PROTOCOL *, UINT32, UINT8 *, UINT32, UINT8 *out) {
    std::memcpy(out, answer, sizeof answer);
    return EFI_SUCCESS;
  };
  TpmPermanentFlagsRecord record;
  TpmReadPermanentFlags(&fake, &record);
  EXPECT_EQ(record.Disable, 0);
  EXPECT_EQ(record.Ownership, 1);
  EXPECT_EQ(record.Deactivated, 1);
  EXPECT_EQ(TpmReadOwned(&fake), 1);
}

TEST_F(Transport, FailedTransportNeverYieldsAPreviousAnswer) {
  Start({{"owned", true}});
  EXPECT_EQ(TpmReadOwned(Tcg()), 1);
  (*board_)->Faults().FailEvery("Tcg.PassThroughToTpm", EFI_DEVICE_ERROR);
  EXPECT_EQ(TpmReadOwned(Tcg()), 0);
  TpmPermanentFlagsRecord record;
  std::memset(&record, 0xCC, sizeof record);
  TpmReadPermanentFlags(Tcg(), &record);
  const auto *bytes = reinterpret_cast<const UINT8 *>(&record);
  EXPECT_EQ(Bytes(bytes, bytes + sizeof record), Bytes(sizeof record, 0));
  EXPECT_EQ(TpmSendCommand(Tcg(), TPM_ORD_ContinueSelfTest, 0, nullptr), 0x09000000u);
}

TEST(PlatformOptions, FillsFourBytes) {
  UINT8 options[4] = {9, 9, 9, 9};
  EXPECT_EQ(GetPlatformOptions(options), EFI_SUCCESS);
  EXPECT_EQ(Bytes(options, options + 4), Hex({1, 0, 0, 0}));
  EXPECT_EQ(GetPlatformOptions(nullptr), EFI_INVALID_PARAMETER);
}

} // namespace
} // namespace tpmtest
