// TpmPlatformDxe's start-up on real firmware: the application lays out the
// state an earlier boot would leave (variables, CMOS, a PpiSuccessHob, the
// platform's TPM state record), loads the driver with the firmware's own
// LoadImage/StartImage and checks every byte the driver owns.
#include "Pi/PiHob.h"
#include "Platform/PlatformHooksProtocol.h"
#include "Platform/PpiSuccessHob.h"
#include "Platform/SetupData.h"
#include "Platform/TpmPlatformStateProtocol.h"
#include "Platform/TpmPlatformVariables.h"
#include "Platform/WakeInfoHob.h"
#include "support/Strings.h"
#include "tests/firmware/app/LoadDriver.h"
#include "tests/firmware/app/StandIns.h"
#include "tests/firmware/app/Stories.h"
#include "tests/firmware/app/TcgClient.h"
#include "tests/firmware/app/TestLog.h"
#include "tests/firmware/app/TpmPlatformRun.h"
#include "tests/firmware/app/Variables.h"

namespace FirmwareTest {

constinit TpmPlatformRun gTpmRun = {};

namespace {

constexpr UINT32 kAttributes = kTpmPlatformVariableAttributes;

// The TPM's own answer, read before the driver runs, is what "Setup" must follow.
struct TpmTruth {
  UINT8 Disable;
  UINT8 Deactivated;
  UINT8 Owned;
};

BOOLEAN ReadTpmTruth(EFI_TCG_PROTOCOL *Tcg, TpmTruth *Truth) {
  const UINT8 permanent[] = {0x00, 0xC1, 0, 0, 0, 0x16, 0, 0, 0, 0x65, 0,
                             0,    0,    4, 0, 0, 0,    4, 0, 0, 1,    8};
  const UINT8 owner[] = {0x00, 0xC1, 0, 0, 0, 0x16, 0, 0, 0, 0x65, 0,
                         0,    0,    5, 0, 0, 0,    4, 0, 0, 1,    0x11};
  UINT8 response[256];
  if (SendTpmCommand(Tcg, permanent, sizeof(permanent), response, sizeof(response)) != 0)
    return FALSE;
  Truth->Disable = response[16];
  Truth->Deactivated = response[18];
  if (SendTpmCommand(Tcg, owner, sizeof(owner), response, sizeof(response)) != 0)
    return FALSE;
  Truth->Owned = response[14];
  return TRUE;
}

// A new HOB list: the HOBs an earlier phase would add, then a copy of the
// firmware's own list, so every consumer still finds what it found before.
VOID InstallHobList(UINT32 WakeSource) {
  VOID *original = nullptr;
  for (UINTN i = 0; i < gFw.St->NumberOfTableEntries; ++i)
    if (gFw.St->ConfigurationTable[i].VendorGuid == gEfiHobListGuid)
      original = gFw.St->ConfigurationTable[i].VendorTable;
  UINTN originalSize = 0;
  if (original != nullptr) {
    auto *hob = static_cast<const UINT8 *>(original);
    for (;;) {
      auto *header = reinterpret_cast<const EFI_HOB_GENERIC_HEADER *>(hob + originalSize);
      originalSize += header->HobLength;
      if (header->HobType == EFI_HOB_TYPE_END_OF_HOB_LIST || header->HobLength == 0)
        break;
    }
  }
  constexpr UINTN kOwnSize = 24 + 8 + 24 + 8;
  UINT8 *list = nullptr;
  if (EFI_ERROR(gFw.Bs->AllocatePool(EfiBootServicesData, kOwnSize + originalSize + 8,
                                     reinterpret_cast<VOID **>(&list))))
    return;
  FillBytes(list, kOwnSize + originalSize + 8, 0);
  auto guidHob = [](UINT8 *At, const EFI_GUID &Name, UINT32 Value) {
    auto *header = reinterpret_cast<EFI_HOB_GUID_TYPE *>(At);
    header->Header.HobType = EFI_HOB_TYPE_GUID_EXTENSION;
    header->Header.HobLength = 32;
    header->Name = Name;
    CopyBytes(At + 24, &Value, 4);
  };
  guidHob(list, gPpiSuccessHobGuid, 0);
  guidHob(list + 32, gWakeInfoHobGuid, WakeSource);
  if (originalSize != 0) {
    CopyBytes(list + kOwnSize, original, originalSize);
  } else {
    auto *end = reinterpret_cast<EFI_HOB_GENERIC_HEADER *>(list + kOwnSize);
    end->HobType = EFI_HOB_TYPE_END_OF_HOB_LIST;
    end->HobLength = 8;
  }
  gFw.Bs->InstallConfigurationTable(&gEfiHobListGuid, list);
}

constinit UINT8 gPlatformState[1 + kTpmPlatformStateMinSize] = {};

} // namespace

VOID TpmPlatformStartupStory() {
  EFI_TCG_PROTOCOL *tcg = LocateTcg();
  TpmTruth truth = {};
  if (!Check(tcg != nullptr && ReadTpmTruth(tcg, &truth), u"TPM flags read before the driver"))
    return;
  Print(u"TPM disable %d deactivated %d owned %d", truth.Disable, truth.Deactivated, truth.Owned);

  // "Setup": every byte the driver must carry through has a value of its own;
  // the TPM bytes disagree with the TPM.
  UINT8 *setup = gTpmRun.SetupBefore;
  for (UINTN i = 0; i < kSetupDataSize; ++i)
    setup[i] = UINT8(i * 13 + 7);
  setup[kSetupTpmEnabled] = truth.Disable;
  setup[kSetupTpmEnableSetting] = truth.Disable;
  setup[kSetupTpmActivated] = truth.Deactivated;
  setup[kSetupTpmOwned] = truth.Owned ? 0 : 1;
  setup[kSetupClearGuard] = 1;
  setup[kSetupClearedAtStartup] = 0x55;
  setup[kSetupDsdtFlagSwitch] = 0;
  setup[kSetupNoPpiClear] = 0;
  setup[kSetupMeasureSecureBoot] = 1;
  setup[kSetupNoPpiProvision] = 0;
  setup[kSetupNoPpiMaintenance] = 0;
  const UINT8 mfg[7] = {0, 5, 0, 0, 0, 0, 0};
  const UINT8 ppi[5] = {9, 8, 7, 6, 5};
  const UINT8 lastBootFailed[4] = {1, 2, 3, 4};
  BOOLEAN prepared =
      !EFI_ERROR(WriteVariable(kSetupVariableName, gSetupVariableGuid, kAttributes, setup,
                               kSetupDataSize)) &&
      !EFI_ERROR(WriteVariable(kMfgDataVariableName, gMfgDataVariableGuid, kAttributes, mfg,
                               sizeof(mfg))) &&
      !EFI_ERROR(DeleteVariable(kTcgStateVariableName, gTcgStateVariableGuid)) &&
      !EFI_ERROR(WriteVariable(kPpiRequestVariableName, gPpiRequestVariableGuid, kAttributes, ppi,
                               sizeof(ppi))) &&
      !EFI_ERROR(WriteVariable(kLastBootFailedVariableName, gLastBootFailedVariableGuid,
                               kAttributes, lastBootFailed, sizeof(lastBootFailed)));
  if (!Check(prepared, u"earlier-boot state laid out"))
    return;
  WriteCmos(kCmosPpiFlagRegister, 0x5A);
  InstallHobList(5);

  // A pending SetNoPPIProvision_True request that needs the user's consent.
  gPlatformState[0] = 0xEE;
  UINT8 *state = gPlatformState + kTpmPlatformStateSkip;
  state[kTpmStatePpiEnabled] = 1;
  state[kTpmStatePpiEnabled2] = 1;
  state[kTpmStatePpiOperation] = 16;
  EFI_HANDLE stateHandle = nullptr;
  EFI_STATUS status = gFw.Bs->InstallProtocolInterface(&stateHandle, &gTpmPlatformStateProtocolGuid,
                                                       EFI_NATIVE_INTERFACE, gPlatformState);
  status = EFI_ERROR(status) ? status : InstallStandIns(1);
  if (!Check(!EFI_ERROR(status), u"platform stand-ins installed (%r)", status))
    return;

  EFI_STATUS loadStatus = EFI_SUCCESS;
  status = LoadSiblingDriver(u"\\TpmPlatformDxe.efi", &gTpmRun.Driver, &loadStatus);
  Check(!EFI_ERROR(loadStatus), u"TpmPlatformDxe.efi loads (%r)", loadStatus);
  Check(status == EFI_SUCCESS, u"TpmPlatformDxe entry returns EFI_SUCCESS (%r)", status);

  status = gFw.Bs->HandleProtocol(gTpmRun.Driver, &gPlatformHooksProtocolGuid,
                                  reinterpret_cast<VOID **>(&gTpmRun.Hooks));
  if (!Check(!EFI_ERROR(status) && gTpmRun.Hooks != nullptr,
             u"PlatformHooksProtocol on the driver's image handle (%r)", status))
    gTpmRun.Hooks = nullptr;

  const UINT8 ppiAfter[5] = {0, 8, 0, 6, 0};
  Check(VariableEquals(kPpiRequestVariableName, gPpiRequestVariableGuid, ppiAfter, 5),
        u"ZELTCGPPIVAR cleared and result 0 recorded for the PpiSuccessHob");
  const UINT8 tcgAfter[6] = {0, 1, 0, 0, 1, 0};
  Check(VariableEquals(kTcgStateVariableName, gTcgStateVariableGuid, tcgAfter, 6),
        u"TCG rebuilt from OrvMfgData: 0 1 0 0 1 0");
  UINT8 cmos = ReadCmos(kCmosPpiFlagRegister);
  Check(cmos == 0, u"CMOS 0x6F cleared (%x)", cmos);
  Check(VariableEquals(kLastBootFailedVariableName, gLastBootFailedVariableGuid, lastBootFailed, 4),
        u"LastBootFailed untouched by start-up");

  UINTN size = kSetupDataSize;
  status = ReadVariable(kSetupVariableName, gSetupVariableGuid, gTpmRun.SetupAfter, &size);
  if (Check(!EFI_ERROR(status) && size == kSetupDataSize, u"Setup readable after start-up")) {
    UINT8 *after = gTpmRun.SetupAfter;
    Check(after[kSetupTpmEnabled] == !truth.Disable &&
              after[kSetupTpmEnableSetting] == !truth.Disable,
          u"Setup bytes 32 and 602 follow the TPM's disable flag");
    Check(after[kSetupTpmActivated] == !truth.Deactivated,
          u"Setup byte 33 follows the TPM's deactivated flag");
    Check(after[kSetupTpmOwned] == truth.Owned, u"Setup byte 34 follows the TPM owner");
    Check(after[kSetupClearedAtStartup] == 0, u"Setup byte 604 cleared under byte 600");
    UINTN others = 0;
    for (UINTN i = 0; i < kSetupDataSize; ++i) {
      if (i == kSetupTpmEnabled || i == kSetupTpmEnableSetting || i == kSetupTpmActivated ||
          i == kSetupTpmOwned || i == kSetupClearedAtStartup)
        continue;
      if (after[i] != setup[i])
        ++others;
    }
    Check(others == 0, u"no other Setup byte changed (%d changed)", others);
  }
  Check(DriverPackageLoaded(), u"the driver's string package reached the HII database");

  if (gTpmRun.Hooks == nullptr)
    return;
  UINT8 options[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  status = gTpmRun.Hooks->GetPlatformOptions(options);
  Check(status == EFI_SUCCESS && options[0] == 1 && options[1] == 0 && options[2] == 0 &&
            options[3] == 0,
        u"GetPlatformOptions fills 01 00 00 00");
  status = gTpmRun.Hooks->SyncTpmEnableHook();
  size = kSetupDataSize;
  UINT8 again[kSetupDataSize];
  ReadVariable(kSetupVariableName, gSetupVariableGuid, again, &size);
  Check(status == EFI_SUCCESS && CompareBytes(again, gTpmRun.SetupAfter, kSetupDataSize) == 0,
        u"SyncTpmEnableHook finds Setup in line and changes nothing (%r)", status);
}

} // namespace FirmwareTest
