// ButtonSmm's image lies in SMRAM, and SMRAM is closed to the OS.
#include "Protocol/SmmAccess2.h"
#include "support/Strings.h"
#include "tests/firmware_smm/app/Log.h"
#include "tests/firmware_smm/app/Stories.h"

namespace SmmStory {

using namespace SmmCompat;

VOID SmramStory() {
  Print(u"story smram");
  if (gRecord == nullptr || gRecord->ImagesLoaded == 0) {
    Check(FALSE, u"no loaded image to look for");
    return;
  }
  EFI_SMM_ACCESS2_PROTOCOL *Access = nullptr;
  EFI_STATUS Status = gFw.Bs->LocateProtocol(&gEfiSmmAccess2ProtocolGuid, nullptr,
                                             reinterpret_cast<VOID **>(&Access));
  if (!Check(!EFI_ERROR(Status), u"SMM access protocol present (%r)", Status))
    return;
  EFI_SMRAM_DESCRIPTOR Map[8];
  UINTN Size = sizeof(Map);
  Status = Access->GetCapabilities(Access, &Size, Map);
  if (!Check(!EFI_ERROR(Status) && Size >= sizeof(Map[0]), u"SMRAM ranges reported (%r, %d)",
             Status, Size / sizeof(Map[0])))
    return;
  const LoadedImageRecord &Image = gRecord->Images[0];
  BOOLEAN Inside = FALSE;
  for (UINTN i = 0; i < Size / sizeof(Map[0]); ++i) {
    Print(u"SMRAM range %lx-%lx state %lx", Map[i].PhysicalStart,
          Map[i].PhysicalStart + Map[i].PhysicalSize, Map[i].RegionState);
    if (Image.Base >= Map[i].PhysicalStart &&
        Image.Base + Image.Size <= Map[i].PhysicalStart + Map[i].PhysicalSize)
      Inside = TRUE;
  }
  Check(Inside, u"ButtonSmm's SMRAM image %lx-%lx lies inside SMRAM", Image.Base,
        Image.Base + Image.Size);
  Check(Access->LockState && !Access->OpenState, u"SMRAM is locked and closed (lock %d, open %d)",
        Access->LockState, Access->OpenState);
  UINT8 Seen[kImageHeadBytes];
  CopyBytes(Seen, reinterpret_cast<const VOID *>(UINTN(Image.Base)), sizeof(Seen));
  Check(CompareBytes(Seen, Image.Head, sizeof(Seen)) != 0,
        u"reading the image from outside SMM does not give its bytes (%x %x, image %x %x)", Seen[0],
        Seen[1], Image.Head[0], Image.Head[1]);
}

} // namespace SmmStory
