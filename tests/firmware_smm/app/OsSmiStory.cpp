// The OS's software SMIs, answered by ButtonSmm from SMRAM: the command
// interface (0xE3) and the brightness percent (0xE0).
#include "Platform/CommandBufferProtocol.h"
#include "support/Strings.h"
#include "tests/firmware_smm/app/Log.h"
#include "tests/firmware_smm/app/OsRequests.h"
#include "tests/firmware_smm/app/Stories.h"

namespace SmmStory {

using namespace SmmCompat;

namespace {

constexpr UINT32 kStatusCommandSucceeded = 0x10;
constexpr UINT32 kStatusHandled = 0x80;
constexpr UINT32 kStatusStarted = 0x100;
constexpr UINT32 kStatusKeyCodesToEc = 0x1000;

constexpr EFI_GUID kSetupGuid = {
    0xEC87D643, 0xEBA4, 0x4BB5, {0xA1, 0xE5, 0x3F, 0x3E, 0x36, 0xB2, 0x0D, 0xA9}};
constexpr UINTN kSetupSize = 928;
constexpr UINTN kSetupPasswordGuard = 771;
constexpr UINT32 kVariableAttributes = 7; // non-volatile, boot-service and runtime access

EFI_STATUS WriteSetup(UINT8 PasswordGuard) {
  static UINT8 Setup[kSetupSize];
  FillBytes(Setup, sizeof(Setup), 0);
  Setup[kSetupPasswordGuard] = PasswordGuard;
  return gFw.Rt->SetVariable(u"Setup", &kSetupGuid, kVariableAttributes, sizeof(Setup), Setup);
}

BOOLEAN Same(const CHAR16 *A, const CHAR16 *B) {
  return WideCompare(A, B) == 0;
}

UINT32 Dispatched(UINT32 Value) {
  for (UINTN i = 0; i < kMaxSwHandlers; ++i)
    if (gRecord != nullptr && gRecord->Sw[i].Value == Value)
      return gRecord->Sw[i].Dispatched;
  return 0;
}

} // namespace

VOID OsSmiStory() {
  Print(u"story os-smi");
  COMMAND_BUFFER_PROTOCOL *Published = nullptr;
  EFI_STATUS Status = gFw.Bs->LocateProtocol(&gCommandBufferProtocolGuid, nullptr,
                                             reinterpret_cast<VOID **>(&Published));
  if (!Check(!EFI_ERROR(Status) && Published->CommandBufferAddress != 0,
             u"command buffer published (%r)", Status))
    return;
  auto *Buffer = reinterpret_cast<UINT8 *>(Published->CommandBufferAddress);
  UseCommandBuffer(Buffer);
  UINT32 StartStatus = UINT32(Buffer[0]) | UINT32(Buffer[1]) << 8 | UINT32(Buffer[2]) << 16 |
                       UINT32(Buffer[3]) << 24;
  Check(StartStatus == (kStatusStarted | kStatusKeyCodesToEc),
        u"start-up in SMRAM set the status word (%x)", StartStatus);
  UINT32 E3Before = Dispatched(0xE3);
  UINT32 E0Before = Dispatched(0xE0);

  const CHAR16 *VolumeUp[] = {u"VolumeUpButton"};
  Reply R = CommandSmi(0, VolumeUp, 1);
  Check(Same(R.Strings[0], u"E030") && Same(R.Strings[1], u"E030"),
        u"command 0 VolumeUpButton: key codes \"%s\", \"%s\"", R.Strings[0], R.Strings[1]);
  Check(R.Status == kStatusHandled && R.Value == 0, u"command 0: status %x (handled), value %d",
        R.Status, R.Value);
  Check(R.Settings == 0x01010102 && R.DefaultSettings == 0x00010102,
        u"command 0: settings %x, defaults %x", R.Settings, R.DefaultSettings);

  // With the password guard set in "Setup", a change needs the administrator
  // password; this platform has no password service, so it is refused.
  Status = WriteSetup(1);
  const CHAR16 *SetVolumeUp[] = {u"VolumeUpButton", u"E032", u"<UTF-16/>secret"};
  R = CommandSmi(1, SetVolumeUp, 3, 1, 3, 1);
  Check(!EFI_ERROR(Status) && R.Value == 6 && (R.Status & kStatusCommandSucceeded) == 0,
        u"command 1 with \"Setup\" asking for the password: result %d (%r)", R.Value, Status);
  Status = WriteSetup(0);
  R = CommandSmi(1, SetVolumeUp, 2, 1, 3, 1);
  Check(!EFI_ERROR(Status) && R.Value == 0 &&
            R.Status == (kStatusHandled | kStatusCommandSucceeded),
        u"command 1 sets VolumeUpButton to E032: result %d, status %x", R.Value, R.Status);
  R = CommandSmi(0, VolumeUp, 1);
  Check(Same(R.Strings[0], u"E030") && Same(R.Strings[1], u"E032") && R.Settings == 0x01010301,
        u"a later command 0: default \"%s\", live \"%s\", settings %x (kept in SMRAM)",
        R.Strings[0], R.Strings[1], R.Settings);
  const CHAR16 *Unknown[] = {u"NoSuchButton", u"E030"};
  R = CommandSmi(1, Unknown, 2);
  Check(R.Value == 1 && (R.Status & kStatusCommandSucceeded) == 0,
        u"command 1 for an unknown button: result %d", R.Value);
  R = CommandSmi(7, VolumeUp, 1);
  Check(R.Value == 7 && R.Status == kStatusHandled && Same(R.Strings[0], u"VolumeUpButton"),
        u"command 7 runs nothing: value %d, status %x, request left \"%s\"", R.Value, R.Status,
        R.Strings[0]);

  // No EC on this board: the backlight level reads 0xFF, which the start-up
  // turned into 100 percent.
  R = BrightnessSmi(0, 0);
  Check(R.Value == 100 && (R.Status & kStatusHandled) != 0,
        u"SMI 0xE0 get: %d percent (EC reads 0xFF), status %x", R.Value, R.Status);
  BrightnessSmi(1, 40);
  R = BrightnessSmi(0, 0);
  Check(R.Value == 40, u"SMI 0xE0 set 40 then get: %d percent", R.Value);

  Check(Dispatched(0xE3) - E3Before == 6 && Dispatched(0xE0) - E0Before == 3,
        u"each SMI dispatched once by value (0xE3: %d, 0xE0: %d)", Dispatched(0xE3) - E3Before,
        Dispatched(0xE0) - E0Before);
}

} // namespace SmmStory
