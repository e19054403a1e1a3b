// The board's TPM 1.2 (libtpms) and the state changes the board makes through
// real commands.
#include "sim/tpm/Tpm12.h"

#include <gtest/gtest.h>
#include <openssl/sha.h>

namespace sim::tpm {
namespace {

class PoweredTpm : public ::testing::Test {
protected:
  void Boot(Tpm12 &tpm) {
    tpm.PowerOn();
    ASSERT_EQ(tpm.Startup(), TPM_SUCCESS);
  }
};

TEST_F(PoweredTpm, ManufacturedChipIsEnabledActivatedUnowned) {
  Tpm12 tpm;
  tpm.PowerOn();
  // Nothing but TPM_Startup is accepted first.
  EXPECT_EQ(tpm.ContinueSelfTest(), TPM_INVALID_POSTINIT);
  ASSERT_EQ(tpm.Startup(), TPM_SUCCESS);
  EXPECT_EQ(tpm.Startup(), TPM_INVALID_POSTINIT);
  PermanentFlags flags = tpm.ReadPermanentFlags();
  EXPECT_FALSE(flags.Disable);
  EXPECT_FALSE(flags.Deactivated);
  EXPECT_TRUE(flags.Ownership);
  EXPECT_FALSE(tpm.Owned());
  EXPECT_FALSE(tpm.ReadVolatileFlags().PhysicalPresenceLock);
}

TEST_F(PoweredTpm, StateChangesPersistAcrossPowerCyclesAndCopies) {
  struct Case {
    bool Enabled, Activated;
  };
  for (Case c : {Case{false, true}, Case{true, false}, Case{false, false}}) {
    SCOPED_TRACE(testing::Message() << "enabled " << c.Enabled << " activated " << c.Activated);
    Tpm12 tpm;
    Boot(tpm);
    // Deactivation needs an enabled TPM: activate first, disable last.
    tpm.SetActivated(c.Activated);
    tpm.SetEnabled(c.Enabled);
    tpm.PowerOff();

    Tpm12 copy(Tpm12::ParseNv(tpm.SerializeNv(), "test"));
    Boot(copy);
    PermanentFlags flags = copy.ReadPermanentFlags();
    EXPECT_EQ(flags.Disable, !c.Enabled);
    EXPECT_EQ(flags.Deactivated, !c.Activated);
  }
}

TEST_F(PoweredTpm, PhysicalPresenceIsNeededAndLockHoldsUntilStartup) {
  Tpm12 tpm;
  Boot(tpm);
  EXPECT_NE(tpm.PhysicalDisable(), TPM_SUCCESS); // no presence asserted
  EXPECT_EQ(tpm.LockPhysicalPresence(), TPM_SUCCESS);
  EXPECT_TRUE(tpm.ReadVolatileFlags().PhysicalPresenceLock);
  EXPECT_THROW(tpm.SetEnabled(false), TpmError);
  tpm.PowerOff();
  Boot(tpm);
  EXPECT_FALSE(tpm.ReadVolatileFlags().PhysicalPresenceLock);
  EXPECT_NO_THROW(tpm.SetEnabled(false));
  EXPECT_TRUE(tpm.ReadPermanentFlags().Disable);
}

TEST_F(PoweredTpm, TakeOwnershipInstallsAnOwnerThatClearRemoves) {
  Tpm12 tpm(Tpm12::OwnedState());
  Boot(tpm);
  EXPECT_TRUE(tpm.Owned());
  // A second owner cannot be installed.
  EXPECT_NE(tpm.TakeOwnership(Tpm12::kOwnerSecret, Tpm12::kSrkSecret), TPM_SUCCESS);
  tpm.Clear();
  EXPECT_FALSE(tpm.Owned());
  // A cleared TPM comes back disabled and deactivated after the next start-up.
  tpm.PowerOff();
  Boot(tpm);
  PermanentFlags flags = tpm.ReadPermanentFlags();
  EXPECT_TRUE(flags.Disable);
  EXPECT_TRUE(flags.Deactivated);
}

TEST_F(PoweredTpm, ExtendFollowsSha1OfOldValueAndDigest) {
  Tpm12 tpm;
  Boot(tpm);
  Digest before = tpm.ReadPcr(3);
  Digest d{};
  d[0] = 0xAB;
  Digest reported{};
  ASSERT_EQ(tpm.Extend(3, d, &reported), TPM_SUCCESS);
  uint8_t input[40];
  std::copy(before.begin(), before.end(), input);
  std::copy(d.begin(), d.end(), input + 20);
  Digest expected;
  SHA1(input, 40, expected.data());
  EXPECT_EQ(tpm.ReadPcr(3), expected);
  EXPECT_EQ(reported, expected);
}

TEST_F(PoweredTpm, PoweringOneChipSwitchesTheOtherOff) {
  Tpm12 a, b;
  Boot(a);
  ASSERT_EQ(a.LockPhysicalPresence(), TPM_SUCCESS);
  Boot(b);
  EXPECT_FALSE(a.Powered());
  EXPECT_THROW(a.Transmit(FrameCommand(TPM_ORD_ContinueSelfTest)), TpmError);
  EXPECT_FALSE(b.ReadVolatileFlags().PhysicalPresenceLock);
}

TEST(TpmNv, MalformedStateIsRejected) {
  Bytes good = Tpm12(Tpm12::ManufacturedState()).SerializeNv();
  Bytes truncated(good.begin(), good.end() - 1);
  EXPECT_THROW(Tpm12::ParseNv(truncated, "x"), std::runtime_error);
  Bytes trailing = good;
  trailing.push_back(0);
  EXPECT_THROW(Tpm12::ParseNv(trailing, "x"), std::runtime_error);
  EXPECT_EQ(Tpm12::ParseNv(good, "x"), Tpm12::ManufacturedState());
}

// Power-ons reuse one key pair for libtpms' start-up self-test; the keys the
// TPM gives out must still be its own, fresh ones.
TEST_F(PoweredTpm, EveryNewChipGeneratesItsOwnEndorsementKey) {
  const Bytes readPubek = {0x00, 0xC1, 0x00, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x00, 0x7C,
                           1,    2,    3,    4,    5,    6,    7,    8,    9,    10,
                           11,   12,   13,   14,   15,   16,   17,   18,   19,   20};
  std::vector<Bytes> keys;
  for (int chip = 0; chip < 2; ++chip) {
    Tpm12 tpm(NvState{});
    Boot(tpm);
    ASSERT_EQ(tpm.CreateEndorsementKeyPair(), TPM_SUCCESS);
    Bytes response = tpm.Transmit(readPubek);
    ASSERT_GT(response.size(), 10u + 256u);
    ASSERT_EQ(response[9], 0) << "TPM_ReadPubek failed";
    keys.push_back(response);
  }
  EXPECT_NE(keys[0], keys[1]);
}

} // namespace
} // namespace sim::tpm
