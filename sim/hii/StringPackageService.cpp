#include "sim/hii/StringPackageService.h"

#include "Uefi/UefiHii.h"
#include "sim/board/Board.h"
#include "sim/core/Errors.h"
#include "sim/core/HandleDatabase.h"

#include <cstring>

namespace sim {

namespace {
StringPackageService *gCurrent = nullptr;

StringPackageService &Need() {
  if (gCurrent == nullptr)
    throw SimulationError("StringPackageProtocol called without its service");
  return *gCurrent;
}

uint64_t HandleNumber(STRING_PACKAGE_HANDLE handle) {
  return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle));
}
STRING_PACKAGE_HANDLE FromNumber(uint64_t number) {
  return reinterpret_cast<STRING_PACKAGE_HANDLE>(static_cast<uintptr_t>(number));
}

EFI_STATUS EFIAPI AddThunk(const VOID *list, STRING_PACKAGE_HANDLE *handle) {
  return Need().Add(list, handle);
}
EFI_STATUS EFIAPI LoadThunk(EFI_HANDLE image, STRING_PACKAGE_HANDLE *handle) {
  return Need().Load(image, handle);
}
EFI_STATUS EFIAPI RemoveThunk(STRING_PACKAGE_HANDLE handle) {
  return Need().Remove(handle);
}
EFI_STATUS EFIAPI LanguagesThunk(STRING_PACKAGE_HANDLE handle, CHAR8 *buffer, UINTN *size) {
  return Need().Languages(handle, buffer, size);
}
EFI_STATUS EFIAPI ReadLanguageThunk(STRING_PACKAGE_HANDLE handle, const CHAR8 *language,
                                    UINT16 token, UINTN *length, CHAR16 *buffer) {
  if (language == nullptr)
    return EFI_INVALID_PARAMETER;
  return Need().Read(handle, language, token, length, buffer);
}
EFI_STATUS EFIAPI ReadThunk(STRING_PACKAGE_HANDLE handle, UINT16 token, UINTN *length,
                            CHAR16 *buffer) {
  return Need().Read(handle, nullptr, token, length, buffer);
}
} // namespace

StringPackageService *StringPackageService::Current() {
  return gCurrent;
}
void StringPackageService::SetCurrent(StringPackageService *service) {
  gCurrent = service;
}

StringPackageService::StringPackageService() {
  protocol_ = {AddThunk, LoadThunk, RemoveThunk, LanguagesThunk, ReadLanguageThunk, ReadThunk};
}

StringPackageService::~StringPackageService() {
  if (gCurrent == this)
    gCurrent = nullptr;
}

void StringPackageService::PowerOn() {
  database_ = HiiStringDatabase();
  rejected_.clear();
}

EFI_STATUS StringPackageService::Add(const VOID *list, STRING_PACKAGE_HANDLE *handle) {
  if (list == nullptr || handle == nullptr)
    return EFI_INVALID_PARAMETER;
  const uint32_t size = HiiStringDatabase::DeclaredSize(list);
  auto added =
      database_.AddPackageList(std::span<const uint8_t>(static_cast<const uint8_t *>(list), size));
  if (added.Handle == 0) {
    rejected_.push_back(added.Error);
    return EFI_INVALID_PARAMETER;
  }
  *handle = FromNumber(added.Handle);
  return EFI_SUCCESS;
}

EFI_STATUS StringPackageService::Load(EFI_HANDLE image, STRING_PACKAGE_HANDLE *handle) {
  if (handle == nullptr)
    return EFI_INVALID_PARAMETER;
  Board &board = Board::Current();
  if (!board.Handles().IsHandle(image))
    return EFI_INVALID_PARAMETER;
  VOID *list = board.Handles().Find(image, gEfiHiiPackageListProtocolGuid);
  if (list == nullptr)
    return EFI_NOT_FOUND;
  return Add(list, handle);
}

EFI_STATUS StringPackageService::Remove(STRING_PACKAGE_HANDLE handle) {
  return database_.Remove(HandleNumber(handle)) ? EFI_SUCCESS : EFI_NOT_FOUND;
}

EFI_STATUS StringPackageService::Languages(STRING_PACKAGE_HANDLE handle, CHAR8 *buffer,
                                           UINTN *size) {
  const auto *list = database_.Find(HandleNumber(handle));
  if (list == nullptr || size == nullptr)
    return EFI_INVALID_PARAMETER;
  std::string text;
  for (const auto &package : list->Packages)
    text += (text.empty() ? "" : ";") + package.Language;
  if (*size < text.size() + 1 || buffer == nullptr) {
    *size = text.size() + 1;
    return EFI_BUFFER_TOO_SMALL;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  *size = text.size() + 1;
  return EFI_SUCCESS;
}

EFI_STATUS StringPackageService::Read(STRING_PACKAGE_HANDLE handle, const CHAR8 *language,
                                      UINT16 token, UINTN *length, CHAR16 *buffer) {
  const uint64_t number = HandleNumber(handle);
  if (language == nullptr)
    return database_.CopyString(number, token, length, buffer);
  if (length == nullptr || (buffer == nullptr && *length != 0) || token == 0)
    return EFI_INVALID_PARAMETER;
  if (database_.Find(number) == nullptr)
    return EFI_INVALID_PARAMETER;
  auto text = database_.GetString(number, token, language);
  if (!text)
    return EFI_NOT_FOUND;
  if (*length < text->size() + 1) {
    *length = text->size() + 1;
    return EFI_BUFFER_TOO_SMALL;
  }
  std::memcpy(buffer, text->c_str(), (text->size() + 1) * sizeof(CHAR16));
  *length = text->size() + 1;
  return EFI_SUCCESS;
}

} // namespace sim
