// EFI_PCI_IO_PROTOCOL (UEFI standard, "PCI I/O Protocol").
#pragma once
#include "Uefi/UefiBaseType.h"

struct EFI_PCI_IO_PROTOCOL;

enum EFI_PCI_IO_PROTOCOL_WIDTH : UINT32 {
  EfiPciIoWidthUint8,
  EfiPciIoWidthUint16,
  EfiPciIoWidthUint32,
  EfiPciIoWidthUint64,
};
enum EFI_PCI_IO_PROTOCOL_OPERATION : UINT32 {
  EfiPciIoOperationBusMasterRead,
  EfiPciIoOperationBusMasterWrite,
  EfiPciIoOperationBusMasterCommonBuffer,
};
enum EFI_PCI_IO_PROTOCOL_ATTRIBUTE_OPERATION : UINT32 {
  EfiPciIoAttributeOperationGet,
  EfiPciIoAttributeOperationSet,
  EfiPciIoAttributeOperationEnable,
  EfiPciIoAttributeOperationDisable,
  EfiPciIoAttributeOperationSupported,
};

typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_POLL_IO_MEM)(EFI_PCI_IO_PROTOCOL *This,
                                                            EFI_PCI_IO_PROTOCOL_WIDTH Width,
                                                            UINT8 BarIndex, UINT64 Offset,
                                                            UINT64 Mask, UINT64 Value, UINT64 Delay,
                                                            UINT64 *Result);
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_IO_MEM)(EFI_PCI_IO_PROTOCOL *This,
                                                       EFI_PCI_IO_PROTOCOL_WIDTH Width,
                                                       UINT8 BarIndex, UINT64 Offset, UINTN Count,
                                                       VOID *Buffer);
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_CONFIG)(EFI_PCI_IO_PROTOCOL *This,
                                                       EFI_PCI_IO_PROTOCOL_WIDTH Width,
                                                       UINT32 Offset, UINTN Count, VOID *Buffer);
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_COPY_MEM)(EFI_PCI_IO_PROTOCOL *This,
                                                         EFI_PCI_IO_PROTOCOL_WIDTH Width,
                                                         UINT8 DestBarIndex, UINT64 DestOffset,
                                                         UINT8 SrcBarIndex, UINT64 SrcOffset,
                                                         UINTN Count);
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_MAP)(EFI_PCI_IO_PROTOCOL *This,
                                                    EFI_PCI_IO_PROTOCOL_OPERATION Operation,
                                                    VOID *HostAddress, UINTN *NumberOfBytes,
                                                    EFI_PHYSICAL_ADDRESS *DeviceAddress,
                                                    VOID **Mapping);
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_UNMAP)(EFI_PCI_IO_PROTOCOL *This, VOID *Mapping);
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_ALLOCATE_BUFFER)(EFI_PCI_IO_PROTOCOL *This,
                                                                UINT32 Type, UINT32 MemoryType,
                                                                UINTN Pages, VOID **HostAddress,
                                                                UINT64 Attributes);
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_FREE_BUFFER)(EFI_PCI_IO_PROTOCOL *This, UINTN Pages,
                                                            VOID *HostAddress);
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_FLUSH)(EFI_PCI_IO_PROTOCOL *This);
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_GET_LOCATION)(EFI_PCI_IO_PROTOCOL *This,
                                                             UINTN *SegmentNumber, UINTN *BusNumber,
                                                             UINTN *DeviceNumber,
                                                             UINTN *FunctionNumber);
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_ATTRIBUTES)(
    EFI_PCI_IO_PROTOCOL *This, EFI_PCI_IO_PROTOCOL_ATTRIBUTE_OPERATION Operation, UINT64 Attributes,
    UINT64 *Result);
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_GET_BAR_ATTRIBUTES)(EFI_PCI_IO_PROTOCOL *This,
                                                                   UINT8 BarIndex, UINT64 *Supports,
                                                                   VOID **Resources);
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_SET_BAR_ATTRIBUTES)(EFI_PCI_IO_PROTOCOL *This,
                                                                   UINT64 Attributes,
                                                                   UINT8 BarIndex, UINT64 *Offset,
                                                                   UINT64 *Length);

struct EFI_PCI_IO_PROTOCOL_ACCESS {
  EFI_PCI_IO_PROTOCOL_IO_MEM Read;
  EFI_PCI_IO_PROTOCOL_IO_MEM Write;
};
struct EFI_PCI_IO_PROTOCOL_CONFIG_ACCESS {
  EFI_PCI_IO_PROTOCOL_CONFIG Read;
  EFI_PCI_IO_PROTOCOL_CONFIG Write;
};

struct EFI_PCI_IO_PROTOCOL {
  EFI_PCI_IO_PROTOCOL_POLL_IO_MEM PollMem;
  EFI_PCI_IO_PROTOCOL_POLL_IO_MEM PollIo;
  EFI_PCI_IO_PROTOCOL_ACCESS Mem;
  EFI_PCI_IO_PROTOCOL_ACCESS Io;
  EFI_PCI_IO_PROTOCOL_CONFIG_ACCESS Pci;
  EFI_PCI_IO_PROTOCOL_COPY_MEM CopyMem;
  EFI_PCI_IO_PROTOCOL_MAP Map;
  EFI_PCI_IO_PROTOCOL_UNMAP Unmap;
  EFI_PCI_IO_PROTOCOL_ALLOCATE_BUFFER AllocateBuffer;
  EFI_PCI_IO_PROTOCOL_FREE_BUFFER FreeBuffer;
  EFI_PCI_IO_PROTOCOL_FLUSH Flush;
  EFI_PCI_IO_PROTOCOL_GET_LOCATION GetLocation;
  EFI_PCI_IO_PROTOCOL_ATTRIBUTES Attributes;
  EFI_PCI_IO_PROTOCOL_GET_BAR_ATTRIBUTES GetBarAttributes;
  EFI_PCI_IO_PROTOCOL_SET_BAR_ATTRIBUTES SetBarAttributes;
  UINT64 RomSize;
  VOID *RomImage;
};
static_assert(__builtin_offsetof(EFI_PCI_IO_PROTOCOL, GetLocation) == 112, "PCI I/O layout");
static_assert(__builtin_offsetof(EFI_PCI_IO_PROTOCOL, RomSize) == 144, "PCI I/O layout");
static_assert(__builtin_offsetof(EFI_PCI_IO_PROTOCOL, RomImage) == 152, "PCI I/O layout");
static_assert(sizeof(EFI_PCI_IO_PROTOCOL) == 160, "PCI I/O layout");

inline constexpr EFI_GUID gEfiPciIoProtocolGuid = {
    0x4CF5B200, 0x68B8, 0x4CA5, {0x9E, 0xEC, 0xB2, 0x3E, 0x3F, 0x50, 0x02, 0x9A}};
