#include "tests/firmware_smm/app/OsRequests.h"

#include "support/Hw.h"
#include "support/Strings.h"

namespace SmmStory {
namespace {

constexpr UINTN kBufferSize = 4096;
constexpr UINTN kStrings = 28; // the strings follow the 28-byte header
constexpr UINT16 kApmControlPort = 0xB2;

constinit UINT8 *gBuffer = nullptr;

VOID Put32(UINTN Offset, UINT32 Value) {
  for (UINTN i = 0; i < 4; ++i)
    gBuffer[Offset + i] = UINT8(Value >> (8 * i));
}
UINT32 Get32(UINTN Offset) {
  return UINT32(gBuffer[Offset]) | UINT32(gBuffer[Offset + 1]) << 8 |
         UINT32(gBuffer[Offset + 2]) << 16 | UINT32(gBuffer[Offset + 3]) << 24;
}

Reply Raise(UINT8 Value) {
  PortWrite8(kApmControlPort, Value);
  Reply R = {};
  R.Status = Get32(0);
  R.Value = Get32(4);
  R.Settings = Get32(12);
  R.DefaultSettings = Get32(16);
  UINTN At = kStrings;
  for (UINTN s = 0; s < kMaxReplyStrings; ++s) {
    UINTN n = 0;
    while (At + 1 < kBufferSize) {
      CHAR16 Unit = CHAR16(gBuffer[At] | (gBuffer[At + 1] << 8));
      At += 2;
      if (Unit == 0)
        break;
      if (n + 1 < kReplyStringUnits)
        R.Strings[s][n++] = Unit;
    }
    R.Strings[s][n] = 0;
  }
  return R;
}

} // namespace

VOID UseCommandBuffer(UINT8 *Address) {
  gBuffer = Address;
}

Reply CommandSmi(UINT32 Command, const CHAR16 *const *Strings, UINTN StringCount, UINT32 Argument,
                 UINT32 Settings, UINT32 DefaultSettings) {
  FillBytes(gBuffer + 4, kBufferSize - 4, 0);
  Put32(0, 0);
  Put32(4, Command);
  Put32(8, Argument);
  Put32(12, Settings);
  Put32(16, DefaultSettings);
  UINTN At = kStrings;
  for (UINTN s = 0; s < StringCount; ++s) {
    UINTN Bytes = (WideLength(Strings[s]) + 1) * sizeof(CHAR16);
    CopyBytes(gBuffer + At, Strings[s], Bytes);
    At += Bytes;
  }
  return Raise(0xE3);
}

Reply BrightnessSmi(UINT32 Argument, UINT32 Percent) {
  Put32(0, 0);
  Put32(4, Percent);
  Put32(8, Argument);
  return Raise(0xE0);
}

} // namespace SmmStory
