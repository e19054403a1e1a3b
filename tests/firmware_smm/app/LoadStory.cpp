// What the compatibility layer recorded of ButtonSmm's way into SMRAM.
#include "Framework/BootScriptSave.h"
#include "Framework/SmmBase.h"
#include "Protocol/FirmwareVolume2.h"
#include "support/Strings.h"
#include "tests/firmware_smm/app/Log.h"
#include "tests/firmware_smm/app/Stories.h"

namespace SmmStory {

using namespace SmmCompat;

constinit CompatRecord *gRecord = nullptr;

namespace {

BOOLEAN HasBootScriptEntry(UINT8 OpCode, UINT64 Address, UINT64 Value, UINT64 Mask) {
  for (UINT32 i = 0; i < gRecord->BootScriptCount && i < kMaxBootScriptEntries; ++i) {
    const BootScriptEntry &E = gRecord->BootScript[i];
    if (E.OpCode == OpCode && E.Address == Address && E.Value == Value && E.Mask == Mask)
      return TRUE;
  }
  return FALSE;
}

// ButtonSmm's file in the DXE volume (the name scripts/firmware-smm-run.sh gives it).
constexpr EFI_GUID kButtonSmmFile = {
    0xC4E7B2A9, 0x1F38, 0x4D56, {0x9E, 0x0B, 0x7A, 0x2D, 0x5C, 0x8F, 0x61, 0x34}};
constexpr EFI_SECTION_TYPE kSectionPe32 = 0x10;

// The PE32 section of ButtonSmm's file as the firmware volume holds it.
BOOLEAN ReadButtonSmmFile(UINT8 *Head, UINT32 *SizeOfImage) {
  EFI_HANDLE *Handles = nullptr;
  UINTN Count = 0;
  if (EFI_ERROR(gFw.Bs->LocateHandleBuffer(ByProtocol, &gEfiFirmwareVolume2ProtocolGuid, nullptr,
                                           &Count, &Handles)))
    return FALSE;
  BOOLEAN Found = FALSE;
  for (UINTN i = 0; i < Count && !Found; ++i) {
    EFI_FIRMWARE_VOLUME2_PROTOCOL *Fv = nullptr;
    if (EFI_ERROR(gFw.Bs->HandleProtocol(Handles[i], &gEfiFirmwareVolume2ProtocolGuid,
                                         reinterpret_cast<VOID **>(&Fv))))
      continue;
    VOID *Image = nullptr;
    UINTN Size = 0;
    UINT32 Authentication = 0;
    if (EFI_ERROR(
            Fv->ReadSection(Fv, &kButtonSmmFile, kSectionPe32, 0, &Image, &Size, &Authentication)))
      continue;
    const auto *Bytes = static_cast<const UINT8 *>(Image);
    UINT32 Pe = Bytes[0x3C] | Bytes[0x3D] << 8 | Bytes[0x3E] << 16 | UINT32(Bytes[0x3F]) << 24;
    if (Size >= kImageHeadBytes && Pe + 4 + 20 + 60 <= Size) {
      CopyBytes(Head, Bytes, kImageHeadBytes);
      const UINT8 *P = Bytes + Pe + 4 + 20 + 56; // SizeOfImage in the optional header
      *SizeOfImage = P[0] | P[1] << 8 | P[2] << 16 | UINT32(P[3]) << 24;
      Found = TRUE;
    }
    gFw.Bs->FreePool(Image);
  }
  gFw.Bs->FreePool(Handles);
  return Found;
}

} // namespace

VOID LoadStory() {
  Print(u"story load");
  EFI_STATUS Status =
      gFw.Bs->LocateProtocol(&gSmmCompatRecordGuid, nullptr, reinterpret_cast<VOID **>(&gRecord));
  if (!Check(!EFI_ERROR(Status) && gRecord != nullptr && gRecord->Signature == kRecordSignature &&
                 gRecord->Revision == kRecordRevision,
             u"compatibility layer ran in SMM and published its record (%r)", Status)) {
    gRecord = nullptr;
    return;
  }
  Check(gRecord->ImagesLoaded == 1 && gRecord->LoadsRefused == 0,
        u"Register loaded one image into SMRAM (%d loaded, %d refused)", gRecord->ImagesLoaded,
        gRecord->LoadsRefused);
  const LoadedImageRecord &Image = gRecord->Images[0];
  Check(Image.Head[0] == 'M' && Image.Head[1] == 'Z' && Image.Size != 0,
        u"the SMRAM copy starts with its PE header (%d bytes at %lx)", Image.Size, Image.Base);
  UINT8 FileHead[kImageHeadBytes];
  UINT32 FileSizeOfImage = 0;
  BOOLEAN FromVolume = ReadButtonSmmFile(FileHead, &FileSizeOfImage);
  Check(FromVolume && CompareBytes(FileHead, Image.Head, kImageHeadBytes) == 0 &&
            FileSizeOfImage == Image.Size,
        u"it is ButtonSmm's file from the DXE volume (SizeOfImage %d)", FileSizeOfImage);
  Check(Image.InSmmAtEntry == 1 && Image.Entry > Image.Base &&
            Image.Entry < Image.Base + Image.Size,
        u"its entry point (%lx) ran in SMM", Image.Entry);
  Check(Image.EntryStatus == EFI_SUCCESS, u"ButtonSmm's SMRAM start-up returned %r",
        EFI_STATUS(Image.EntryStatus));

  Check(gRecord->SwHandlerCount == 2 && gRecord->Sw[0].Value == 0xE0 &&
            gRecord->Sw[1].Value == 0xE3,
        u"software SMIs registered: %d (%x, %x)", gRecord->SwHandlerCount, gRecord->Sw[0].Value,
        gRecord->Sw[1].Value);
  Check(gRecord->GpiHandlerCount == 2 && gRecord->Gpi[0] == 6 && gRecord->Gpi[1] == 1,
        u"GPI registrations recorded: %d (GPI %d, GPI %d)", gRecord->GpiHandlerCount,
        gRecord->Gpi[0], gRecord->Gpi[1]);
  BOOLEAN Framework = gRecord->BootScriptCount > 0;
  for (UINT32 i = 0; i < gRecord->BootScriptCount && i < kMaxBootScriptEntries; ++i)
    Framework = Framework && gRecord->BootScript[i].Form == kFormFramework;
  Check(Framework && gRecord->BootScriptDropped == 0,
        u"start-up writes recorded in the boot script, Framework call form (%d, %d dropped)",
        gRecord->BootScriptCount, gRecord->BootScriptDropped);
  // The GPI 1 routing: chipset register 0xB8 of 00:1F.0, bits 2-3 to SMI.
  Check(HasBootScriptEntry(EFI_BOOT_SCRIPT_PCI_CONFIG_READ_WRITE_OPCODE,
                           BootScriptPciAddress(0, 31, 0, 0xB8), 0x4, 0xFFFFFFF3),
        u"boot script holds the GPI 1 routing (PCI 00:1F.0 0xB8 |= 4, mask FFFFFFF3)");

  // After the lock there is no way into SMRAM.
  Check(gRecord->LoaderOpen == 0, u"SMM loader closed at the SMM ready-to-lock");
  EFI_SMM_BASE_PROTOCOL *SmmBase = nullptr;
  Status = gFw.Bs->LocateProtocol(&gEfiSmmBaseProtocolGuid, nullptr,
                                  reinterpret_cast<VOID **>(&SmmBase));
  if (Check(!EFI_ERROR(Status), u"Framework SMM base protocol present (%r)", Status)) {
    BOOLEAN InSmm = TRUE;
    SmmBase->InSmm(SmmBase, &InSmm);
    Check(!InSmm, u"InSmm is FALSE for the OS");
    UINT8 Bogus[64] = {'M', 'Z'};
    EFI_HANDLE Handle = nullptr;
    UINT32 Before = gRecord->ImagesLoaded;
    Status = SmmBase->Register(SmmBase, nullptr, Bogus, sizeof(Bogus), &Handle, FALSE);
    Check(Status == EFI_ACCESS_DENIED && gRecord->ImagesLoaded == Before,
          u"Register after the lock is refused (%r)", Status);
  }
}

} // namespace SmmStory
