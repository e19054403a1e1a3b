// Entry point of both instances: the boot-service copy has the image file
// loaded into SMRAM; the SMRAM copy registers its handlers and starts the
// hardware.
#include "button_smm/Entry.h"
#include "Framework/SmmBase.h"
#include "Framework/SmmGpiDispatch.h"
#include "Framework/SmmSwDispatch.h"
#include "Platform/CommandBufferProtocol.h"
#include "Platform/PlatformDataProtocol.h"
#include "Platform/SmmCommandBuffer.h"
#include "button_smm/DevicePath.h"
#include "button_smm/Globals.h"
#include "button_smm/Hardware.h"
#include "button_smm/Routines.h"
#include "support/Hw.h"
#include "support/Strings.h"

namespace ButtonSmm {
namespace {

constexpr UINTN kButtonEventGpi = 6;
constexpr UINTN kPowerButtonGpi = 1;

EFI_STATUS LoadIntoSmram(EFI_HANDLE ImageHandle) {
  EFI_LOADED_IMAGE_PROTOCOL *LoadedImage = nullptr;
  EFI_STATUS Status = gBS->HandleProtocol(ImageHandle, &gEfiLoadedImageProtocolGuid,
                                          reinterpret_cast<VOID **>(&LoadedImage));
  if (EFI_ERROR(Status))
    return Status;
  EFI_DEVICE_PATH_PROTOCOL *DevicePath = nullptr;
  Status = gBS->HandleProtocol(LoadedImage->DeviceHandle, &gEfiDevicePathProtocolGuid,
                               reinterpret_cast<VOID **>(&DevicePath));
  if (EFI_ERROR(Status))
    return Status;

  EFI_DEVICE_PATH_PROTOCOL *FullPath = AppendDevicePath(DevicePath, LoadedImage->FilePath);
  if (FullPath == nullptr)
    return EFI_OUT_OF_RESOURCES;
  EFI_HANDLE SmmImageHandle = nullptr;
  Status = gSmmBase->Register(gSmmBase, FullPath, nullptr, 0, &SmmImageHandle, FALSE);
  gBS->FreePool(FullPath);
  return Status;
}

// From here on, runtime services called inside SMM go through the table the
// SMM core publishes, when it publishes one.
VOID UseSmmRuntimeServices(const EFI_SMM_SYSTEM_TABLE *Smst) {
  for (UINTN Index = 0; Index < Smst->NumberOfTableEntries; ++Index) {
    const EFI_CONFIGURATION_TABLE &Entry = Smst->SmmConfigurationTable[Index];
    if (CompareBytes(&Entry.VendorGuid, &gSmmRuntimeServicesTableGuid, sizeof(EFI_GUID)) == 0) {
      gRT = static_cast<EFI_RUNTIME_SERVICES *>(Entry.VendorTable);
      return;
    }
  }
}

EFI_STATUS StartInSmm(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  EFI_SMM_SYSTEM_TABLE *Smst = nullptr;
  EFI_STATUS Status = gSmmBase->GetSmstLocation(gSmmBase, &Smst);
  if (EFI_ERROR(Status))
    return Status;
  if (Smst != nullptr)
    UseSmmRuntimeServices(Smst);
  return ButtonSmmMain(ImageHandle, SystemTable);
}

// The dispatchers pass their own context types; the handlers ignore handle and
// context alike.
VOID EFIAPI OnBrightnessSmi(EFI_HANDLE Handle, EFI_SMM_SW_DISPATCH_CONTEXT *Context) {
  BrightnessSmiHandler(Handle, Context);
}
VOID EFIAPI OnCommandSmi(EFI_HANDLE Handle, EFI_SMM_SW_DISPATCH_CONTEXT *Context) {
  CommandDispatcher(Handle, Context);
}
VOID EFIAPI OnButtonEvent(EFI_HANDLE Handle, EFI_SMM_GPI_DISPATCH_CONTEXT *Context) {
  ButtonEventHandler(Handle, Context);
}

template <typename Interface> EFI_STATUS Locate(const EFI_GUID &Guid, Interface **Result) {
  return gBS->LocateProtocol(&Guid, nullptr, reinterpret_cast<VOID **>(Result));
}

} // namespace

// Every step must succeed exactly: unlike the entry paths, which stop on errors
// only, a warning ends the start-up here as an error does, so the tests below
// compare with EFI_SUCCESS instead of using EFI_ERROR.
EFI_STATUS ButtonSmmMain(EFI_HANDLE, EFI_SYSTEM_TABLE *) {
  PLATFORM_DATA_PROTOCOL *PlatformData = nullptr;
  EFI_STATUS Status = Locate(gPlatformDataProtocolGuid, &PlatformData);
  if (Status != EFI_SUCCESS)
    return Status;
  EFI_SMM_GPI_DISPATCH_PROTOCOL *GpiDispatch = nullptr;
  Status = Locate(gEfiSmmGpiDispatchProtocolGuid, &GpiDispatch);
  if (Status != EFI_SUCCESS)
    return Status;
  Status = Locate(gEfiSmmBaseProtocolGuid, &gSmmBase);
  if (Status != EFI_SUCCESS)
    return Status;
  Status = gSmmBase->GetSmstLocation(gSmmBase, &gSmst);
  if (Status != EFI_SUCCESS)
    return Status;
  EFI_SMM_SW_DISPATCH_PROTOCOL *SwDispatch = nullptr;
  Status = Locate(gEfiSmmSwDispatchProtocolGuid, &SwDispatch);
  if (Status != EFI_SUCCESS)
    return Status;

  EFI_HANDLE DispatchHandle = nullptr;
  EFI_SMM_SW_DISPATCH_CONTEXT SwContext = {kCbSmiBrightness};
  Status = SwDispatch->Register(SwDispatch, OnBrightnessSmi, &SwContext, &DispatchHandle);
  if (Status != EFI_SUCCESS)
    return Status;
  SwContext.SwSmiInputValue = kCbSmiCommand;
  Status = SwDispatch->Register(SwDispatch, OnCommandSmi, &SwContext, &DispatchHandle);
  if (Status != EFI_SUCCESS)
    return Status;

  COMMAND_BUFFER_PROTOCOL *CommandBuffer = nullptr;
  Status = Locate(gCommandBufferProtocolGuid, &CommandBuffer);
  if (Status != EFI_SUCCESS)
    return Status;
  if (CommandBuffer->CommandBufferAddress != 0)
    gSmmCommandBufferAddress = PhysicalToPointer(CommandBuffer->CommandBufferAddress);

  // A non-zero gate leaves the platform's GPIs alone: only the software SMIs are served.
  UINT8 Gate = 0xFF;
  Status = PlatformData->GetData(&gButtonPlatformConfigGuid, sizeof(Gate), &Gate);
  if (Status != EFI_SUCCESS)
    return Status;
  if (Gate != 0)
    return EFI_SUCCESS;

  EFI_SMM_GPI_DISPATCH_CONTEXT GpiContext = {kButtonEventGpi};
  Status = GpiDispatch->Register(GpiDispatch, OnButtonEvent, &GpiContext, &DispatchHandle);
  if (Status != EFI_SUCCESS)
    return Status;
  Status = PlatformData->GetData(&gButtonPlatformConfigGuid, sizeof(gButtonPlatformConfig),
                                 &gButtonPlatformConfig);
  if (Status != EFI_SUCCESS)
    return Status;
  InitButtonHardware();
  GpiContext.GpiNum = kPowerButtonGpi;
  Status = GpiDispatch->Register(GpiDispatch, PowerOffHandler, &GpiContext, &DispatchHandle);
  if (Status != EFI_SUCCESS)
    return Status;
  SetupGpi1Smi();
  return EFI_SUCCESS;
}

} // namespace ButtonSmm

using namespace ButtonSmm;

extern "C" EFI_STATUS EFIAPI ButtonSmmEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  RecordServiceTables(&gButtonSmm.Services, ImageHandle, SystemTable);
  EFI_BOOT_SCRIPT_SAVE_PROTOCOL *BootScript = nullptr;
  if (EFI_ERROR(Locate(gEfiBootScriptSaveProtocolGuid, &BootScript)))
    BootScript = nullptr;
  gEntryBootScript = BootScript;

  EFI_STATUS Status = Locate(gEfiSmmBaseProtocolGuid, &gSmmBase);
  if (EFI_ERROR(Status))
    return Status;
  BOOLEAN InSmm = FALSE;
  Status = gSmmBase->InSmm(gSmmBase, &InSmm);
  if (EFI_ERROR(Status))
    return Status;
  if (!InSmm)
    return LoadIntoSmram(ImageHandle);
  return StartInSmm(ImageHandle, SystemTable);
}
