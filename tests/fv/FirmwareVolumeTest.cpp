// The board's firmware volumes: layout checked byte by byte against the PI
// rules, and the FV2 protocol's file walk.
#include "sim/fv/FirmwareVolume.h"
#include "sim/fv/Fv2Protocol.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using sim::fv::FfsFile;

constexpr EFI_GUID kA = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr EFI_GUID kB = {0xAAAAAAAA, 0xBBBB, 0xCCCC, {8, 7, 6, 5, 4, 3, 2, 1}};
constexpr EFI_GUID kC = {
    0x17088572, 0x377F, 0x44EF, {0x8F, 0x4E, 0xB0, 0x9F, 0xFF, 0x46, 0xA0, 0x70}};

uint32_t Le(const std::vector<uint8_t> &b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i)
    v = v << 8 | b[at + i];
  return v;
}

std::vector<FfsFile> ThreeFiles() {
  return {{kA, EFI_FV_FILETYPE_DRIVER, std::vector<uint8_t>(0x13, 0x5A)},
          {kB, EFI_FV_FILETYPE_RAW, {1, 2, 3}},
          {kC, EFI_FV_FILETYPE_RAW, std::vector<uint8_t>(0x100C, 0xC3)}};
}

TEST(FirmwareVolume, HeaderAndFilesFollowThePiLayout) {
  const auto fv = sim::fv::BuildVolume(ThreeFiles());
  ASSERT_EQ(fv.size() % 0x1000, 0u);
  EXPECT_EQ(Le(fv, 0x28, 4), 0x4856465Fu); // "_FVH"
  EXPECT_EQ(Le(fv, 0x20, 4), fv.size());   // FvLength
  EXPECT_EQ(Le(fv, 0x30, 2), 0x48u);       // HeaderLength
  uint16_t sum = 0;
  for (size_t i = 0; i < 0x48; i += 2)
    sum = static_cast<uint16_t>(sum + Le(fv, i, 2));
  EXPECT_EQ(sum, 0) << "volume header checksum";

  // Files at 0x48, then 8-byte aligned: 0x48 + 0x18 + 0x13 = 0x73 -> 0x78.
  const size_t offsets[] = {0x48, 0x78, 0x98};
  const uint32_t sizes[] = {0x18 + 0x13, 0x18 + 3, 0x18 + 0x100C};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const size_t at = offsets[i];
    EXPECT_EQ(Le(fv, at + 0x14, 3), sizes[i]);
    EXPECT_EQ(fv[at + 0x17], 0xF8) << "state of a written file, erase polarity 1";
    EXPECT_EQ(fv[at + 0x11], 0xAA) << "no data checksum";
    uint8_t hsum = 0;
    for (size_t j = 0; j < 24; ++j)
      if (j != 0x11 && j != 0x17)
        hsum = static_cast<uint8_t>(hsum + fv[at + j]);
    EXPECT_EQ(hsum, 0) << "header checksum";
  }
  EXPECT_EQ(std::memcmp(&fv[0x98], &kC, 16), 0);
  EXPECT_EQ(fv[0x98 + 0x18 + 0x100C], 0xFF) << "free space stays erased";
}

TEST(FirmwareVolume, ParseReturnsTheFilesBuilt) {
  const auto fv = sim::fv::BuildVolume(ThreeFiles(), 0x3000);
  auto files = sim::fv::ParseVolume(fv);
  ASSERT_TRUE(files);
  ASSERT_EQ(files->size(), 3u);
  EXPECT_TRUE((*files)[1].Name == kB);
  EXPECT_EQ((*files)[2].Data.size(), 0x100Cu);
  EXPECT_EQ((*files)[2].Data[0], 0xC3);

  auto bad = fv;
  bad[0x28] = 0; // signature
  EXPECT_FALSE(sim::fv::ParseVolume(bad));
  bad = fv;
  bad[0x40] ^= 1; // inside the checksummed header
  EXPECT_FALSE(sim::fv::ParseVolume(bad));
  EXPECT_THROW(sim::fv::BuildVolume(ThreeFiles(), 0x1000), std::length_error);
}

TEST(FirmwareVolume, GetNextFileFiltersByTypeAndZeroKeyRestarts) {
  sim::fv::Fv2Volume volume(sim::fv::BuildVolume(ThreeFiles()), nullptr);
  auto *fv2 = volume.Protocol();
  std::vector<uint8_t> key(fv2->KeySize, 0);
  std::vector<EFI_GUID> seen;
  for (;;) {
    EFI_FV_FILETYPE type = EFI_FV_FILETYPE_RAW;
    EFI_GUID name;
    EFI_FV_FILE_ATTRIBUTES attributes;
    UINTN size;
    if (EFI_ERROR(fv2->GetNextFile(fv2, key.data(), &type, &name, &attributes, &size)))
      break;
    EXPECT_EQ(type, EFI_FV_FILETYPE_RAW);
    seen.push_back(name);
  }
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen[0] == kB);
  EXPECT_TRUE(seen[1] == kC);

  std::fill(key.begin(), key.end(), 0);
  EFI_FV_FILETYPE type = EFI_FV_FILETYPE_ALL;
  EFI_GUID name;
  EFI_FV_FILE_ATTRIBUTES attributes;
  UINTN size;
  ASSERT_EQ(fv2->GetNextFile(fv2, key.data(), &type, &name, &attributes, &size), EFI_SUCCESS);
  EXPECT_TRUE(name == kA);
  EXPECT_EQ(size, 0x13u);

  uint8_t buffer[3] = {};
  VOID *out = buffer;
  UINTN outSize = sizeof(buffer);
  UINT32 auth;
  ASSERT_EQ(fv2->ReadFile(fv2, &kB, &out, &outSize, &type, &attributes, &auth), EFI_SUCCESS);
  EXPECT_EQ(buffer[2], 3);
  EXPECT_EQ(fv2->ReadFile(fv2, &gEfiGlobalVariableGuid, &out, &outSize, &type, &attributes, &auth),
            EFI_NOT_FOUND);
}

} // namespace
