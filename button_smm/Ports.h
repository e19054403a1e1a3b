// Fixed I/O resources of the hardware layer.
#pragma once
#include "Uefi/UefiBaseType.h"

namespace ButtonSmm {

constexpr UINT16 kEcPagePort = 0x8FF;
constexpr UINT16 kEcWindowBase = 0x800;
constexpr UINT16 kEcPageRestorePort = 0xA03;

constexpr UINT16 kSioIndexPort = 0x2E;
constexpr UINT16 kSioDataPort = 0x2F;

constexpr UINT16 kPm1ControlPort = 0x404;
constexpr UINT16 kNotifyPort = 0xA46;
constexpr UINT16 kOutputPort = 0xA2E;
constexpr UINT16 kOutputSourcePort = 0xA2F;
constexpr UINT16 kPowerControlPort0 = 0xA00;
constexpr UINT16 kPowerControlPort1 = 0xA01;
constexpr UINT16 kGpi1SmiEnablePort = 0x438;
constexpr UINT16 kGpioUseSelectPort = 0x500;
constexpr UINT16 kGpioIoSelectPort = 0x504;
constexpr UINT16 kGpioInvertPort = 0x52C;

constexpr UINT16 kPciConfigAddressPort = 0xCF8;
constexpr UINT16 kPciConfigDataPort = 0xCFC;
constexpr UINT64 kPciExpressBase = 0xF8000000;

constexpr UINT16 kEcEventRegister = 0x6C1;
constexpr UINT16 kEcRepeatTiming = 0x6E4;

} // namespace ButtonSmm
