// PI SMM system table and the SMM base 2 protocol (PI standard, volume 4):
// what an SMM driver of a PI SMM core is handed inside SMRAM.
#pragma once
#include "Uefi/UefiSpec.h"

struct EFI_SMM_SYSTEM_TABLE2;

// A root handler (HandlerType null) sees every SMI; a handler registered with a
// GUID is reached through the SMM communication protocol with that GUID.
typedef EFI_STATUS(EFIAPI *EFI_SMM_HANDLER_ENTRY_POINT2)(EFI_HANDLE DispatchHandle,
                                                         const VOID *Context, VOID *CommBuffer,
                                                         UINTN *CommBufferSize);
typedef EFI_STATUS(EFIAPI *EFI_SMM_NOTIFY_FN)(const EFI_GUID *Protocol, VOID *Interface,
                                              EFI_HANDLE Handle);

struct EFI_SMM_IO_ACCESS2 {
  VOID *Read;
  VOID *Write;
};
struct EFI_SMM_CPU_IO2_PROTOCOL {
  EFI_SMM_IO_ACCESS2 Mem;
  EFI_SMM_IO_ACCESS2 Io;
};

struct EFI_SMM_SYSTEM_TABLE2 {
  EFI_TABLE_HEADER Hdr;
  CHAR16 *SmmFirmwareVendor;
  UINT32 SmmFirmwareRevision;
  EFI_STATUS(EFIAPI *SmmInstallConfigurationTable)
  (const EFI_SMM_SYSTEM_TABLE2 *SystemTable, const EFI_GUID *Guid, VOID *Table, UINTN TableSize);
  EFI_SMM_CPU_IO2_PROTOCOL SmmIo;
  EFI_ALLOCATE_POOL SmmAllocatePool;
  EFI_FREE_POOL SmmFreePool;
  EFI_ALLOCATE_PAGES SmmAllocatePages;
  EFI_FREE_PAGES SmmFreePages;
  VOID *SmmStartupThisAp;
  UINTN CurrentlyExecutingCpu;
  UINTN NumberOfCpus;
  UINTN *CpuSaveStateSize;
  VOID **CpuSaveState;
  UINTN NumberOfTableEntries;
  EFI_CONFIGURATION_TABLE *SmmConfigurationTable;
  EFI_INSTALL_PROTOCOL_INTERFACE SmmInstallProtocolInterface;
  EFI_UNINSTALL_PROTOCOL_INTERFACE SmmUninstallProtocolInterface;
  EFI_HANDLE_PROTOCOL SmmHandleProtocol;
  EFI_STATUS(EFIAPI *SmmRegisterProtocolNotify)
  (const EFI_GUID *Protocol, EFI_SMM_NOTIFY_FN Function, VOID **Registration);
  EFI_LOCATE_HANDLE SmmLocateHandle;
  EFI_LOCATE_PROTOCOL SmmLocateProtocol;
  EFI_STATUS(EFIAPI *SmiManage)
  (const EFI_GUID *HandlerType, const VOID *Context, VOID *CommBuffer, UINTN *CommBufferSize);
  EFI_STATUS(EFIAPI *SmiHandlerRegister)
  (EFI_SMM_HANDLER_ENTRY_POINT2 Handler, const EFI_GUID *HandlerType, EFI_HANDLE *DispatchHandle);
  EFI_STATUS(EFIAPI *SmiHandlerUnRegister)(EFI_HANDLE DispatchHandle);
};
static_assert(__builtin_offsetof(EFI_SMM_SYSTEM_TABLE2, SmmIo) == 48, "SMST2 I/O");
static_assert(__builtin_offsetof(EFI_SMM_SYSTEM_TABLE2, SmmAllocatePool) == 80, "SMST2 pool");
static_assert(__builtin_offsetof(EFI_SMM_SYSTEM_TABLE2, SmmAllocatePages) == 96, "SMST2 pages");
static_assert(__builtin_offsetof(EFI_SMM_SYSTEM_TABLE2, CurrentlyExecutingCpu) == 120,
              "SMST2 current CPU");
static_assert(__builtin_offsetof(EFI_SMM_SYSTEM_TABLE2, NumberOfTableEntries) == 152,
              "SMST2 configuration table");
static_assert(__builtin_offsetof(EFI_SMM_SYSTEM_TABLE2, SmmInstallProtocolInterface) == 168,
              "SMST2 protocol services");
static_assert(__builtin_offsetof(EFI_SMM_SYSTEM_TABLE2, SmmLocateProtocol) == 208,
              "SMST2 LocateProtocol");
static_assert(__builtin_offsetof(EFI_SMM_SYSTEM_TABLE2, SmiHandlerRegister) == 224,
              "SMST2 SmiHandlerRegister");
static_assert(sizeof(EFI_SMM_SYSTEM_TABLE2) == 240, "SMST2 size");

// Root-handler result: the SMI was not this handler's source.
constexpr EFI_STATUS EFI_WARN_INTERRUPT_SOURCE_QUIESCED = 1;

struct EFI_SMM_BASE2_PROTOCOL;
struct EFI_SMM_BASE2_PROTOCOL {
  EFI_STATUS(EFIAPI *InSmm)(const EFI_SMM_BASE2_PROTOCOL *This, BOOLEAN *InSmram);
  EFI_STATUS(EFIAPI *GetSmstLocation)
  (const EFI_SMM_BASE2_PROTOCOL *This, EFI_SMM_SYSTEM_TABLE2 **Smst);
};
static_assert(sizeof(EFI_SMM_BASE2_PROTOCOL) == 16, "SMM base 2 layout");

inline constexpr EFI_GUID gEfiSmmBase2ProtocolGuid = {
    0xF4CCBFB7, 0xF6E0, 0x47FD, {0x9D, 0xD4, 0x10, 0xA8, 0xF1, 0x50, 0xC1, 0x91}};
