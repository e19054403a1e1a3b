// The board's EFI_TCG_PROTOCOL: hashing against known SHA-1 values, extends
// that the event log replays, the log's binary layout, the pass-through and
// the vendor-state answer, and fault injection.
#include "sim/tcg/TcgProtocol.h"
#include "support/Hw.h"
#include "tpm_core/TestBoard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace sim::tcg {
namespace {

Digest FromHex(const char *hex) {
  Digest d{};
  for (size_t i = 0; i < 20; ++i)
    d[i] = uint8_t(std::stoul(std::string(hex + 2 * i, 2), nullptr, 16));
  return d;
}

class Tcg : public ::testing::Test {
protected:
  // A powered board without a TPM of its own gives the address translation.
  void SetUp() override {
    board_.emplace(tpmtest::json{{"tpm", {{"present", false}}}});
    (*board_)->PowerOn();
    Make({});
  }
  void Make(TcgProtocol::Options options, size_t logSize = EventLog::kDefaultCapacity) {
    protocol_.reset();
    chip_ = std::make_unique<tpm::Tpm12>();
    chip_->PowerOn();
    ASSERT_EQ(chip_->Startup(), tpm::TPM_SUCCESS);
    protocol_ = std::make_unique<TcgProtocol>(
        *chip_, options,
        [this](std::string_view key) -> std::optional<EFI_STATUS> {
          auto it = faults_.find(std::string(key));
          return it == faults_.end() ? std::nullopt : std::optional(it->second);
        },
        [this](size_t size) {
          pool_.emplace_back(size);
          return pool_.back().data();
        },
        logSize);
  }
  EFI_TCG_PROTOCOL *P() { return protocol_->Interface(); }

  // Measures `data` into `pcr` with an event carrying `event`.
  EFI_STATUS Measure(uint32_t pcr, const std::string &data, const std::string &event,
                     EFI_PHYSICAL_ADDRESS *last = nullptr) {
    std::vector<uint8_t> record(kTcgPcrEventHeaderSize + event.size());
    auto *e = reinterpret_cast<TCG_PCR_EVENT *>(record.data());
    e->PCRIndex = pcr;
    e->EventType = EV_EFI_ACTION;
    e->EventSize = UINT32(event.size());
    std::memcpy(e->Event, event.data(), event.size());
    UINT32 number = 0;
    EFI_STATUS status =
        P()->HashLogExtendEvent(P(), data.empty() ? 0 : PointerToPhysical(data.data()), data.size(),
                                TPM_ALG_SHA, e, &number, last);
    lastEvent_ = record;
    return status;
  }

  std::optional<tpmtest::TestBoard> board_;
  std::unique_ptr<tpm::Tpm12> chip_;
  std::unique_ptr<TcgProtocol> protocol_;
  std::map<std::string, EFI_STATUS> faults_;
  std::vector<std::vector<uint8_t>> pool_;
  std::vector<uint8_t> lastEvent_;
};

TEST_F(Tcg, HashAllIsSha1) {
  const std::string abc = "abc";
  UINT8 out[20];
  UINT8 *result = out;
  UINT64 size = sizeof out;
  ASSERT_EQ(P()->HashAll(P(), (UINT8 *)abc.data(), abc.size(), TPM_ALG_SHA, &size, &result),
            EFI_SUCCESS);
  EXPECT_EQ(size, 20u);
  EXPECT_EQ(Digest(std::to_array(out)), FromHex("a9993e364706816aba3e25717850c26c9cd0d89d"));

  // A zero length and no buffer: the protocol allocates one.
  result = nullptr;
  size = 0;
  ASSERT_EQ(P()->HashAll(P(), nullptr, 0, TPM_ALG_SHA, &size, &result), EFI_SUCCESS);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(pool_.size(), 1u);
  Digest empty;
  std::memcpy(empty.data(), result, 20);
  EXPECT_EQ(empty, FromHex("da39a3ee5e6b4b0d3255bfef95601890afd80709"));

  size = 10;
  result = out;
  EXPECT_EQ(P()->HashAll(P(), out, 1, TPM_ALG_SHA, &size, &result), EFI_BUFFER_TOO_SMALL);
  size = 20;
  EXPECT_EQ(P()->HashAll(P(), out, 1, 0x0B, &size, &result), EFI_UNSUPPORTED);
}

TEST_F(Tcg, HashLogExtendEventExtendsWhatTheLogReplays) {
  EFI_PHYSICAL_ADDRESS last = 0;
  ASSERT_EQ(Measure(5, "abc", "Calling", &last), EFI_SUCCESS);
  ASSERT_EQ(Measure(0, "", "separator"), EFI_SUCCESS); // digest as given (zero)
  ASSERT_EQ(Measure(5, "second", "x", nullptr), EFI_SUCCESS);

  const auto &records = protocol_->Log().Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].Digest, FromHex("a9993e364706816aba3e25717850c26c9cd0d89d"));
  EXPECT_EQ(records[1].Digest, Digest{});
  EXPECT_EQ(records[0].Data, std::vector<uint8_t>({'C', 'a', 'l', 'l', 'i', 'n', 'g'}));
  EXPECT_EQ(last, PointerToPhysical(protocol_->Log().Base()));
  // The caller's record got its digest.
  EXPECT_EQ(
      Digest(std::to_array(reinterpret_cast<TCG_PCR_EVENT *>(lastEvent_.data())->Digest.digest)),
      records[2].Digest);

  for (const auto &[pcr, value] : protocol_->Log().Replay())
    EXPECT_EQ(protocol_->ReadPcr(pcr), value) << "PCR " << pcr;

  // The binary log: plain records, little-endian header fields.
  auto binary = protocol_->Log().ExportBinaryLog();
  ASSERT_EQ(binary.size(), 3 * 32u + 7 + 9 + 1);
  EXPECT_EQ(std::vector<uint8_t>(binary.begin(), binary.begin() + 8),
            std::vector<uint8_t>({5, 0, 0, 0, 0x07, 0, 0, 0x80}));
  EXPECT_EQ(std::vector<uint8_t>(binary.begin() + 28, binary.begin() + 32),
            std::vector<uint8_t>({7, 0, 0, 0}));
  auto parsed = EventLog::Parse(binary);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->size(), 3u);
  EXPECT_EQ((*parsed)[2].Offset, records[2].Offset);
}

TEST_F(Tcg, StatusCheckReportsTheLogAndTheTpm) {
  TCG_EFI_BOOT_SERVICE_CAPABILITY capability{};
  UINT32 features = 9;
  EFI_PHYSICAL_ADDRESS location = 0, last = 1;
  ASSERT_EQ(P()->StatusCheck(P(), &capability, &features, &location, &last), EFI_SUCCESS);
  EXPECT_EQ(capability.Size, sizeof capability);
  EXPECT_EQ(capability.TPMPresentFlag, 1);
  EXPECT_EQ(capability.TPMDeactivatedFlag, 0);
  EXPECT_EQ(capability.HashAlgorithmBitmap, 1);
  EXPECT_EQ(location, PointerToPhysical(protocol_->Log().Base()));
  EXPECT_EQ(last, 0u);
  ASSERT_EQ(Measure(7, "a", "b"), EFI_SUCCESS);
  ASSERT_EQ(Measure(7, "c", "d"), EFI_SUCCESS);
  ASSERT_EQ(P()->StatusCheck(P(), nullptr, nullptr, nullptr, &last), EFI_SUCCESS);
  EXPECT_EQ(last, PointerToPhysical(protocol_->Log().Base() + 33));

  chip_->SetActivated(false); // takes effect at the next start-up
  chip_->PowerOff();
  chip_->PowerOn();
  chip_->Startup();
  ASSERT_EQ(P()->StatusCheck(P(), &capability, nullptr, nullptr, nullptr), EFI_SUCCESS);
  EXPECT_EQ(capability.TPMDeactivatedFlag, 1);
}

TEST_F(Tcg, FullLogIsRefusedBeforeTheTpmIsExtended) {
  Make({}, 40);
  EXPECT_EQ(Measure(24, "abc", ""), EFI_DEVICE_ERROR); // no such PCR: nothing logged
  EXPECT_TRUE(protocol_->Log().Records().empty());
  Digest before = protocol_->ReadPcr(4);
  EXPECT_EQ(Measure(4, "abc", "0123456789"), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(protocol_->ReadPcr(4), before);
  EXPECT_EQ(Measure(4, "abc", "0123"), EFI_SUCCESS);
}

TEST_F(Tcg, PassThroughCopiesTheAnswerOrRefusesASmallBuffer) {
  tpm::Bytes request = tpm::FrameCommand(tpm::TPM_ORD_PcrRead, tpm::Writer().U32(0).Get());
  UINT8 out[64];
  std::memset(out, 0xCC, sizeof out);
  ASSERT_EQ(P()->PassThroughToTpm(P(), UINT32(request.size()), request.data(), sizeof out, out),
            EFI_SUCCESS);
  EXPECT_EQ(tpm::GetU32(std::span(out, 30), 2), 30u);
  EXPECT_EQ(out[30], 0xCC); // nothing beyond the answer
  EXPECT_EQ(P()->PassThroughToTpm(P(), UINT32(request.size()), request.data(), 29, out),
            EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(protocol_->Exchanges().size(), 2u);
  EXPECT_EQ(protocol_->Exchanges()[1].Status, EFI_BUFFER_TOO_SMALL);
}

TEST_F(Tcg, VendorStateAnswerComesFromTheTpmsFlags) {
  tpm::Bytes vendor = tpm::FrameCommand(kVendorStateOrdinal);
  UINT8 out[32] = {};
  // Another vendor's TPM does not know the ordinal.
  ASSERT_EQ(P()->PassThroughToTpm(P(), 10, vendor.data(), sizeof out, out), EFI_SUCCESS);
  EXPECT_EQ(tpm::ResponseCode(std::span(out, 10)), tpm::TPM_BAD_ORDINAL);

  auto answer = [](TcgProtocol &tcg) {
    tpm::Bytes request = tpm::FrameCommand(kVendorStateOrdinal);
    std::vector<uint8_t> response(256, 0xCC);
    EXPECT_EQ(tcg.Interface()->PassThroughToTpm(tcg.Interface(), 10, request.data(), 256,
                                                response.data()),
              EFI_SUCCESS);
    response.resize(tpm::GetU32(response, 2));
    return response;
  };
  TcgProtocol vendorTcg(*chip_, {kVendorWithStateOrdinal, false});
  EXPECT_EQ(answer(vendorTcg),
            std::vector<uint8_t>({0, 0xC4, 0, 0, 0, 14, 0, 0, 0, 0, 0, 0, 1, 0}));
  chip_->SetActivated(false);
  chip_->SetEnabled(false);
  EXPECT_EQ(answer(vendorTcg),
            std::vector<uint8_t>({0, 0xC4, 0, 0, 0, 14, 0, 0, 0, 0, 1, 1, 1, 0}));
  // Nothing of it reached the TPM.
  EXPECT_EQ(vendorTcg.Exchanges().back().Request, tpm::FrameCommand(kVendorStateOrdinal));

  tpm::Tpm12 owned(tpm::Tpm12::OwnedState());
  owned.PowerOn();
  ASSERT_EQ(owned.Startup(), tpm::TPM_SUCCESS);
  TcgProtocol ownedTcg(owned, {kVendorWithStateOrdinal, false});
  EXPECT_EQ(answer(ownedTcg)[13], 1);
  TcgProtocol failing(owned, {kVendorWithStateOrdinal, true});
  EXPECT_EQ(answer(failing), std::vector<uint8_t>({0, 0xC4, 0, 0, 0, 10, 0, 0, 0, 9}));
}

TEST_F(Tcg, EveryCallCanBeFailed) {
  const char *keys[] = {"Tcg.StatusCheck", "Tcg.HashAll", "Tcg.LogEvent", "Tcg.PassThroughToTpm",
                        "Tcg.HashLogExtendEvent"};
  for (const char *key : keys)
    faults_[key] = EFI_DEVICE_ERROR;
  UINT8 out[64];
  UINT8 *result = out;
  UINT64 size = 20;
  std::vector<uint8_t> record(kTcgPcrEventHeaderSize);
  auto *e = reinterpret_cast<TCG_PCR_EVENT *>(record.data());
  tpm::Bytes request = tpm::FrameCommand(tpm::TPM_ORD_ContinueSelfTest);
  EXPECT_EQ(P()->StatusCheck(P(), nullptr, nullptr, nullptr, nullptr), EFI_DEVICE_ERROR);
  EXPECT_EQ(P()->HashAll(P(), out, 1, TPM_ALG_SHA, &size, &result), EFI_DEVICE_ERROR);
  EXPECT_EQ(P()->LogEvent(P(), e, nullptr, 0), EFI_DEVICE_ERROR);
  EXPECT_EQ(P()->PassThroughToTpm(P(), 10, request.data(), sizeof out, out), EFI_DEVICE_ERROR);
  EXPECT_EQ(Measure(0, "a", ""), EFI_DEVICE_ERROR);
  EXPECT_TRUE(protocol_->Log().Records().empty());
  EXPECT_EQ(protocol_->ReadPcr(0), Digest{});
}

} // namespace
} // namespace sim::tcg
