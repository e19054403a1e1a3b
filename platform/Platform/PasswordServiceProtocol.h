// The platform's password service, an SMM protocol of the firmware setup
// component. Only the two routines the button driver calls are typed; the
// other slots keep the interface's layout.
#pragma once
#include "Uefi/UefiBaseType.h"

#include <stddef.h>

inline constexpr EFI_GUID gPasswordServiceProtocolGuid = {
    0x20788AB8, 0x04E2, 0x4406, {0x80, 0xC4, 0xAF, 0x15, 0x71, 0x76, 0xD3, 0xEB}};

// EFI_SUCCESS when Password (Length bytes, no NUL) is the password of the
// named account; Kind 1 is the only kind the button driver uses.
typedef EFI_STATUS(EFIAPI *PASSWORD_SERVICE_CHECK_PASSWORD)(const CHAR16 *Name, UINTN Kind,
                                                            const CHAR16 *Password, UINTN Length);
// Fills *State; 2 means that no administrator password is set.
typedef EFI_STATUS(EFIAPI *PASSWORD_SERVICE_GET_PASSWORD_STATE)(UINT32 *State);

constexpr UINT32 PASSWORD_STATE_NO_ADMIN_PASSWORD = 2;

struct PASSWORD_SERVICE_PROTOCOL {
  VOID *Reserved1[5];
  PASSWORD_SERVICE_CHECK_PASSWORD CheckPassword; // sixth routine
  VOID *Reserved2[3];
  PASSWORD_SERVICE_GET_PASSWORD_STATE GetPasswordState; // tenth routine
};
static_assert(offsetof(PASSWORD_SERVICE_PROTOCOL, CheckPassword) == 5 * 8 &&
                  offsetof(PASSWORD_SERVICE_PROTOCOL, GetPasswordState) == 9 * 8 &&
                  sizeof(PASSWORD_SERVICE_PROTOCOL) == 10 * 8,
              "PasswordServiceProtocol layout");
