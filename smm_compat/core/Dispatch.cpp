#include "smm_compat/core/Dispatch.h"

namespace SmmCompat {
namespace {

// Software-SMI values are one byte: what the OS writes to port 0xB2. Value 0
// is what the SMM core writes for its own SMIs: no handler can have it.
constexpr UINTN kMinSwValue = 0x01;
constexpr UINTN kMaxSwValue = 0xFF;
// GPIs of the chipset's GPE0 block.
constexpr UINTN kGpiCount = 16;

struct SwEntry {
  EFI_SMM_SW_DISPATCH Function;
  EFI_SMM_SW_DISPATCH_CONTEXT Context;
};
struct GpiEntry {
  EFI_SMM_GPI_DISPATCH Function;
  EFI_SMM_GPI_DISPATCH_CONTEXT Context;
};

struct DispatchState {
  SwEntry Sw[kMaxSwHandlers];
  GpiEntry Gpi[kMaxGpiHandlers];
  CompatRecord *Record;
};
constexpr DispatchState kEmptyDispatch = {};
constinit DispatchState gDispatch = kEmptyDispatch;

EFI_STATUS EFIAPI SwRegister(EFI_SMM_SW_DISPATCH_PROTOCOL *This, EFI_SMM_SW_DISPATCH Function,
                             EFI_SMM_SW_DISPATCH_CONTEXT *Context, EFI_HANDLE *Handle) {
  if (This == nullptr || Function == nullptr || Context == nullptr || Handle == nullptr ||
      Context->SwSmiInputValue < kMinSwValue || Context->SwSmiInputValue > kMaxSwValue)
    return EFI_INVALID_PARAMETER;
  // One handler per value: a second would answer the OS's request twice.
  for (const SwEntry &Entry : gDispatch.Sw)
    if (Entry.Function != nullptr && Entry.Context.SwSmiInputValue == Context->SwSmiInputValue)
      return EFI_INVALID_PARAMETER;
  for (UINTN i = 0; i < kMaxSwHandlers; ++i) {
    SwEntry &Entry = gDispatch.Sw[i];
    if (Entry.Function != nullptr)
      continue;
    Entry.Function = Function;
    Entry.Context = *Context;
    *Handle = &Entry;
    if (CompatRecord *R = gDispatch.Record) {
      R->Sw[i].Value = UINT32(Context->SwSmiInputValue);
      R->Sw[i].Dispatched = 0;
      ++R->SwHandlerCount;
    }
    return EFI_SUCCESS;
  }
  return EFI_OUT_OF_RESOURCES;
}

EFI_STATUS EFIAPI SwUnRegister(EFI_SMM_SW_DISPATCH_PROTOCOL *, EFI_HANDLE Handle) {
  for (SwEntry &Entry : gDispatch.Sw) {
    if (Handle != &Entry || Entry.Function == nullptr)
      continue;
    Entry = SwEntry{};
    return EFI_SUCCESS;
  }
  return EFI_INVALID_PARAMETER;
}

EFI_STATUS EFIAPI GpiRegister(EFI_SMM_GPI_DISPATCH_PROTOCOL *This, EFI_SMM_GPI_DISPATCH Function,
                              EFI_SMM_GPI_DISPATCH_CONTEXT *Context, EFI_HANDLE *Handle) {
  if (This == nullptr || Function == nullptr || Context == nullptr || Handle == nullptr ||
      Context->GpiNum >= kGpiCount)
    return EFI_INVALID_PARAMETER;
  for (UINTN i = 0; i < kMaxGpiHandlers; ++i) {
    GpiEntry &Entry = gDispatch.Gpi[i];
    if (Entry.Function != nullptr)
      continue;
    Entry.Function = Function;
    Entry.Context = *Context;
    *Handle = &Entry;
    if (CompatRecord *R = gDispatch.Record) {
      R->Gpi[R->GpiHandlerCount < kMaxGpiHandlers ? R->GpiHandlerCount : kMaxGpiHandlers - 1] =
          UINT32(Context->GpiNum);
      ++R->GpiHandlerCount;
    }
    return EFI_SUCCESS;
  }
  return EFI_OUT_OF_RESOURCES;
}

EFI_STATUS EFIAPI GpiUnRegister(EFI_SMM_GPI_DISPATCH_PROTOCOL *, EFI_HANDLE Handle) {
  for (GpiEntry &Entry : gDispatch.Gpi) {
    if (Handle != &Entry || Entry.Function == nullptr)
      continue;
    Entry = GpiEntry{};
    return EFI_SUCCESS;
  }
  return EFI_INVALID_PARAMETER;
}

constinit EFI_SMM_SW_DISPATCH_PROTOCOL gSwProtocol = {SwRegister, SwUnRegister, kMaxSwValue};
constinit EFI_SMM_GPI_DISPATCH_PROTOCOL gGpiProtocol = {GpiRegister, GpiUnRegister, kGpiCount};

} // namespace

VOID InitDispatch(CompatRecord *Record) {
  gDispatch = kEmptyDispatch;
  gDispatch.Record = Record;
}

EFI_SMM_SW_DISPATCH_PROTOCOL *SwDispatchProtocol() {
  return &gSwProtocol;
}

EFI_SMM_GPI_DISPATCH_PROTOCOL *GpiDispatchProtocol() {
  return &gGpiProtocol;
}

UINTN DispatchSoftwareSmi(UINT8 Value) {
  UINTN Ran = 0;
  for (UINTN i = 0; i < kMaxSwHandlers; ++i) {
    SwEntry &Entry = gDispatch.Sw[i];
    if (Entry.Function == nullptr || Entry.Context.SwSmiInputValue != Value)
      continue;
    // The handler gets its own copy: it may not change the registration.
    EFI_SMM_SW_DISPATCH_CONTEXT Context = Entry.Context;
    Entry.Function(&Entry, &Context);
    ++Ran;
    if (CompatRecord *R = gDispatch.Record)
      ++R->Sw[i].Dispatched;
  }
  if (Ran != 0 && gDispatch.Record != nullptr)
    ++gDispatch.Record->SwSmis;
  return Ran;
}

} // namespace SmmCompat
