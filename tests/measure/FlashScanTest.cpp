// The direct flash scan of the microcode hook over volume bytes built here:
// which file it finds, what it measures, and that damaged volumes end the
// scan instead of hanging it or sending it outside the volume.
#include "measure/MeasureBoard.h"
#include "sim/fv/FirmwareVolume.h"
#include "support/Hw.h"
#include "tpm_platform/measure/Measure.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using TpmPlatform::FindFlashFile;
using TpmPlatform::gMicrocodeFileGuid;

constexpr EFI_GUID kOther = {0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};

struct Scan {
  EFI_STATUS Status;
  uint64_t Offset; // of the data found, from the volume start
  uint64_t Size;
};

Scan ScanVolume(const std::vector<uint8_t> &volume, uint64_t limit = 0) {
  // Physical addresses need a powered board; a host buffer is identity-mapped.
  static measure_test::TestBoard board;
  if (!board->Booted())
    board->PowerOn();
  EFI_PHYSICAL_ADDRESS base = PointerToPhysical(volume.data());
  EFI_PHYSICAL_ADDRESS data = 0;
  UINT64 size = 0;
  EFI_STATUS s =
      FindFlashFile(base, limit ? limit : volume.size(), &gMicrocodeFileGuid, &data, &size);
  return {s, EFI_ERROR(s) ? 0 : data - base, size};
}

// A volume header with FvLength/HeaderLength and hand-placed FFS headers.
struct RawVolume {
  std::vector<uint8_t> Bytes;
  explicit RawVolume(uint64_t length, uint16_t headerLength = 0x48) : Bytes(length, 0xFF) {
    std::memset(Bytes.data(), 0, 0x48);
    std::memcpy(&Bytes[0x20], &length, 8);
    const uint32_t sig = 0x4856465F;
    std::memcpy(&Bytes[0x28], &sig, 4);
    std::memcpy(&Bytes[0x30], &headerLength, 2);
  }
  void File(size_t at, const EFI_GUID &name, uint32_t size) {
    std::memcpy(&Bytes[at], &name, 16);
    Bytes[at + 0x10] = 0;
    Bytes[at + 0x11] = 0xAA;
    Bytes[at + 0x12] = EFI_FV_FILETYPE_RAW;
    Bytes[at + 0x13] = 0;
    Bytes[at + 0x14] = size & 0xFF;
    Bytes[at + 0x15] = (size >> 8) & 0xFF;
    Bytes[at + 0x16] = (size >> 16) & 0xFF;
    Bytes[at + 0x17] = 0xF8;
  }
};

TEST(FlashScan, FindsTheMicrocodeFileAmongBuiltFiles) {
  std::vector<uint8_t> microcode(0x100C, 0x5C);
  auto fv = sim::fv::BuildVolume({{kOther, EFI_FV_FILETYPE_DRIVER, std::vector<uint8_t>(0x13, 1)},
                                  {kOther, EFI_FV_FILETYPE_RAW, {1, 2, 3}},
                                  {gMicrocodeFileGuid, EFI_FV_FILETYPE_RAW, microcode}});
  Scan s = ScanVolume(fv);
  ASSERT_EQ(s.Status, EFI_SUCCESS);
  // Files at 0x48, 0x78 (0x48 + 0x2B aligned up), 0x98: the data follows the header.
  EXPECT_EQ(s.Offset, 0x98u + 24);
  EXPECT_EQ(s.Size, 0x100Cu)
      << "a file of Size 0x1024 is measured as the 0x100C bytes after its header";
}

TEST(FlashScan, OddSizedFileIsFollowedAtTheNextAlignedOffset) {
  RawVolume v(0x1000);
  v.File(0x48, kOther, 0x13);
  v.File(0x60, gMicrocodeFileGuid, 0x40);
  Scan s = ScanVolume(v.Bytes);
  ASSERT_EQ(s.Status, EFI_SUCCESS);
  EXPECT_EQ(s.Offset, 0x60u + 24);
  EXPECT_EQ(s.Size, 0x40u - 24);
}

TEST(FlashScan, DamagedOrEmptyVolumesEndWithNotFound) {
  struct Case {
    const char *Name;
    std::vector<uint8_t> Bytes;
    uint64_t Limit;
  };
  std::vector<Case> cases;
  {
    RawVolume v(0x1000);
    v.File(0x48, kOther, 0); // size 0 would keep the scan in place for ever
    cases.push_back({"zero-size file", v.Bytes, 0});
  }
  {
    RawVolume v(0x1000);
    v.File(0x48, gMicrocodeFileGuid, 0x10); // shorter than its own header
    cases.push_back({"microcode file below 24 bytes", v.Bytes, 0});
  }
  {
    RawVolume v(0x100);
    v.File(0x48, kOther, 0x20);
    v.File(0x68, gMicrocodeFileGuid, 0x200); // runs past FvLength
    cases.push_back({"file past the volume's end", v.Bytes, 0});
  }
  {
    RawVolume v(0x100);
    v.File(0x48, kOther, 0xA8 + 0x10); // next file would start 8 bytes before the end
    cases.push_back({"header past the volume's end", v.Bytes, 0});
  }
  cases.push_back({"erased flash", std::vector<uint8_t>(0x1000, 0xFF), 0});
  {
    RawVolume v(0x1000);
    v.Bytes[0x28] = 'X';
    v.File(0x48, gMicrocodeFileGuid, 0x40);
    cases.push_back({"bad signature", v.Bytes, 0});
  }
  {
    RawVolume v(0x1000);
    const uint64_t huge = 0x10000000;
    std::memcpy(&v.Bytes[0x20], &huge, 8);
    v.File(0x48, gMicrocodeFileGuid, 0x40);
    cases.push_back({"FvLength beyond the flash", v.Bytes, 0});
  }
  {
    RawVolume v(0x1000, 0xFFFF);
    cases.push_back({"HeaderLength beyond FvLength", v.Bytes, 0});
  }
  {
    RawVolume v(0x1000);
    v.File(0x48, kOther, 0x20);
    v.File(0x68, kOther, 0xFFFFFF);
    v.File(0x88, gMicrocodeFileGuid, 0x40);
    cases.push_back({"next file erased (size FFFFFF)", v.Bytes, 0});
  }
  {
    RawVolume v(0x1000);
    v.File(0x48, kOther, 0x20);
    cases.push_back({"no microcode file", v.Bytes, 0});
  }
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ScanVolume(c.Bytes, c.Limit).Status, EFI_NOT_FOUND);
  }
}

} // namespace
