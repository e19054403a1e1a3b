// The Framework SMM system table (SMST) as this platform's SMM core lays it
// out. The first field after the header, which the Framework calls
// SmmFirmwareVendor, holds this core's table of protocol services instead.
#pragma once
#include "Uefi/UefiSpec.h"

struct EFI_SMM_SYSTEM_TABLE;

// Protocol services of the SMM core, reached through the SMST. The lookup leaves
// *Interface null when the protocol is not installed in SMM.
typedef EFI_STATUS(EFIAPI *SMM_INSTALL_PROTOCOL)(const EFI_GUID *Protocol, VOID *Interface,
                                                 VOID *Reserved);
typedef EFI_STATUS(EFIAPI *SMM_PROTOCOL_LOOKUP)(const EFI_GUID *Protocol, VOID **Interface,
                                                VOID *Registration);

struct SMM_PROTOCOL_SERVICES {
  SMM_INSTALL_PROTOCOL SmmInstallProtocol;
  SMM_PROTOCOL_LOOKUP SmmProtocolLookup;
};
static_assert(__builtin_offsetof(SMM_PROTOCOL_SERVICES, SmmProtocolLookup) == 8,
              "the lookup is the second routine");

struct EFI_SMM_IO_ACCESS {
  VOID *Read;
  VOID *Write;
};
struct EFI_SMM_CPU_IO_INTERFACE {
  EFI_SMM_IO_ACCESS Mem;
  EFI_SMM_IO_ACCESS Io;
};

typedef EFI_STATUS(EFIAPI *EFI_SMM_INSTALL_CONFIGURATION_TABLE)(EFI_SMM_SYSTEM_TABLE *Smst,
                                                                const EFI_GUID *Guid, VOID *Table,
                                                                UINTN TableSize);

struct EFI_SMM_SYSTEM_TABLE {
  EFI_TABLE_HEADER Hdr;
  const SMM_PROTOCOL_SERVICES *SmmServices;
  UINT32 SmmFirmwareRevision;
  EFI_SMM_INSTALL_CONFIGURATION_TABLE SmmInstallConfigurationTable;
  EFI_GUID EfiSmmCpuIoGuid;
  EFI_SMM_CPU_IO_INTERFACE SmmIo;
  VOID *SmmAllocatePool;
  VOID *SmmFreePool;
  VOID *SmmAllocatePages;
  VOID *SmmFreePages;
  VOID *SmmStartupThisAp;
  UINTN CurrentlyExecutingCpu;
  UINTN NumberOfCpus;
  VOID *CpuSaveState;
  VOID *CpuOptionalFloatingPointState;
  UINTN NumberOfTableEntries;
  EFI_CONFIGURATION_TABLE *SmmConfigurationTable;
};
static_assert(__builtin_offsetof(EFI_SMM_SYSTEM_TABLE, SmmServices) == 24, "SMST services");
static_assert(__builtin_offsetof(EFI_SMM_SYSTEM_TABLE, SmmIo) == 64, "SMST I/O interface");
static_assert(__builtin_offsetof(EFI_SMM_SYSTEM_TABLE, NumberOfTableEntries) == 168,
              "SMST configuration table count");
static_assert(__builtin_offsetof(EFI_SMM_SYSTEM_TABLE, SmmConfigurationTable) == 176,
              "SMST configuration table");
static_assert(sizeof(EFI_SMM_SYSTEM_TABLE) == 184, "SMST size");

constexpr UINT64 SMM_SMST_SIGNATURE = 0x54534D53; // SIGNATURE_32('S', 'M', 'S', 'T')

// Configuration-table entry of the SMST: the runtime-services table to use inside SMM.
inline constexpr EFI_GUID gSmmRuntimeServicesTableGuid = {
    0x395C33FE, 0x287F, 0x413E, {0xA0, 0x55, 0x80, 0x88, 0xC0, 0xE1, 0xD4, 0x3E}};
