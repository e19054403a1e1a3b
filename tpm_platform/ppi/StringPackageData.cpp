// The driver's English string package, encoded at compile time as an HII
// package list (one string package, language "en-US") and stored in the
// image. String IDs are the screen tokens; ID 1 names the language.
//
// The texts carry their own blanks at the joints: the screen builds its
// sentences as opening + action list + closing.
#include "Uefi/UefiHii.h"
#include "tpm_platform/ppi/ScreenTokens.h"

namespace TpmPlatform {

namespace {

constexpr const CHAR16 *kTexts[] = {
    /* 1 */ u"English",
    /* 2 */ u"A request has been made to ",
    /* 3 */ u" the TPM (Trusted Platform Module) of this computer.",
    /* 4 */ u"Press the clear key only if you are sure you want to ",
    /* 5 */ u"Press the confirmation key only if you want to ",
    /* 6 */ u"Press F3 to confirm the request, or F4 to refuse it.",
    /* 7 */ u"WARNING: The TPM owner and all keys stored in the TPM will be erased.",
    /* 8 */ u"WARNING: Clearing erases the TPM owner and all keys stored in the TPM.",
    /* 9 */ u"WARNING: Programs that use the TPM will stop working until it is back on.",
    /* 10 */ u"Press F1 to confirm the request, or F2 to refuse it.",
    /* 11 */ u"enable",
    /* 12 */ u"disable",
    /* 13 */ u"activate",
    /* 14 */ u"deactivate",
    /* 15 */ u"allow taking ownership of",
    /* 16 */ u"prevent taking ownership of",
    /* 17 */ u"clear",
    /* 18 */ u"keep the contents of",
    /* 19 */ u"let the operating system provision the TPM without asking you.",
    /* 20 */ u"let the operating system provision the TPM without asking you.",
    /* 21 */ u"let the operating system clear the TPM without asking you.",
    /* 22 */ u"let the operating system clear the TPM without asking you.",
    /* 23 */ u"Note: After the restart the TPM is on and ready for use.",
    /* 24 */ u"Note: After the restart the TPM is off until you turn it on again.",
    /* 25 */ u"Note: After the restart the TPM is empty, on and ready for a new owner.",
    /* 26 */ u"let the operating system change TPM maintenance settings without asking you.",
    /* 27 */ u"let the operating system change TPM maintenance settings without asking you.",
    /* 28 */ u"-------------------------------------------------------------------------------",
};
static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == kTokenLast, "one text per token");

constexpr char kLanguage[] = "en-US";
constexpr EFI_GUID kPackageListGuid = {
    0x3C4B8E55, 0x9A1D, 0x4F62, {0xB2, 0x0E, 0x71, 0x5D, 0xC4, 0x89, 0xA3, 0x16}};

constexpr UINTN TextLength(const CHAR16 *Text) {
  UINTN Length = 0;
  while (Text[Length] != 0)
    ++Length;
  return Length;
}

constexpr UINTN kHeaderSize = sizeof(EFI_HII_STRING_PACKAGE_HDR) + sizeof(kLanguage);

constexpr UINTN BlocksSize() {
  UINTN Size = 1; // EFI_HII_SIBT_END
  for (const CHAR16 *Text : kTexts)
    Size += 1 + 2 * (TextLength(Text) + 1);
  return Size;
}

constexpr UINTN kStringPackageSize = kHeaderSize + BlocksSize();
constexpr UINTN kPackageListSize =
    sizeof(EFI_HII_PACKAGE_LIST_HEADER) + kStringPackageSize + sizeof(EFI_HII_PACKAGE_HEADER);

} // namespace

struct PackageListBytes {
  UINT8 Bytes[kPackageListSize];
};

namespace {

struct Writer {
  UINT8 *Out;
  UINTN At;
  constexpr void U8(UINT8 Value) { Out[At++] = Value; }
  constexpr void U16(UINT16 Value) {
    U8(UINT8(Value));
    U8(UINT8(Value >> 8));
  }
  constexpr void U32(UINT32 Value) {
    U16(UINT16(Value));
    U16(UINT16(Value >> 16));
  }
  constexpr void Guid(const EFI_GUID &Value) {
    U32(Value.Data1);
    U16(Value.Data2);
    U16(Value.Data3);
    for (UINT8 Byte : Value.Data4)
      U8(Byte);
  }
};

constexpr PackageListBytes EncodePackageList() {
  PackageListBytes List = {};
  Writer W = {List.Bytes, 0};
  W.Guid(kPackageListGuid);
  W.U32(UINT32(kPackageListSize));

  W.U32(HiiPackageHeader(UINT32(kStringPackageSize), EFI_HII_PACKAGE_STRINGS));
  W.U32(UINT32(kHeaderSize)); // HdrSize
  W.U32(UINT32(kHeaderSize)); // StringInfoOffset
  for (UINTN Index = 0; Index < 16; ++Index)
    W.U16(0);                // LanguageWindow
  W.U16(kTokenLanguageName); // LanguageName
  for (char Character : kLanguage)
    W.U8(UINT8(Character));
  for (const CHAR16 *Text : kTexts) {
    W.U8(EFI_HII_SIBT_STRING_UCS2);
    for (UINTN Index = 0; Index <= TextLength(Text); ++Index)
      W.U16(Text[Index]);
  }
  W.U8(EFI_HII_SIBT_END);

  W.U32(HiiPackageHeader(sizeof(EFI_HII_PACKAGE_HEADER), EFI_HII_PACKAGE_END));
  return List;
}

} // namespace

} // namespace TpmPlatform

// The image's HII package list, in a section of its own so that it stays
// whole in the image, where the firmware's image loader finds it and
// publishes it on the image handle. Readers see it as bytes.
extern "C" __attribute__((
    used, section(".hii"))) constinit const TpmPlatform::PackageListBytes TpmPlatformDxeStrings =
    TpmPlatform::EncodePackageList();
