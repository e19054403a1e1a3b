// Measurement override protocols, installed by other platform components that
// take over one measurement hook each. Only the first entry is defined.
#pragma once
#include "Uefi/UefiBaseType.h"

typedef EFI_STATUS(EFIAPI *MEASURE_OVERRIDE_ENTRY)();

struct MeasureOverrideProtocol {
  MEASURE_OVERRIDE_ENTRY Measure;
};
static_assert(sizeof(MeasureOverrideProtocol) == 8, "override interface");

inline constexpr EFI_GUID gMicrocodeMeasureOverrideProtocolGuid = {
    0x5CF308B5, 0xFA23, 0x4100, {0x8A, 0x76, 0xF3, 0x26, 0xC2, 0x81, 0x48, 0x80}};
inline constexpr EFI_GUID gOptionRomMeasureOverrideProtocolGuid = {
    0x76F3992D, 0x529E, 0x4EFE, {0x8B, 0xBE, 0x8E, 0x1E, 0xD4, 0x32, 0xC2, 0x23}};
inline constexpr EFI_GUID gReadyToBootMeasureOverrideProtocolGuid = {
    0xA4524A9C, 0x0B5E, 0x492D, {0xAE, 0xC9, 0x30, 0x86, 0x31, 0xB1, 0x89, 0xB4}};
