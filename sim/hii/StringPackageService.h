// The board's StringPackageProtocol: an HII string database that loads the
// package list an image carries (published on its image handle under
// EFI_HII_PACKAGE_LIST_PROTOCOL) and serves its strings.
#pragma once
#include "Platform/StringPackageProtocol.h"
#include "sim/hii/StringDatabase.h"

#include <string>
#include <vector>

namespace sim {

class StringPackageService {
public:
  StringPackageService();
  ~StringPackageService();
  StringPackageService(const StringPackageService &) = delete;
  StringPackageService &operator=(const StringPackageService &) = delete;

  StringPackageProtocol *Protocol() { return &protocol_; }
  HiiStringDatabase &Database() { return database_; }
  // Per boot: an empty database.
  void PowerOn();
  // Package lists that were rejected, with the reason (for the report).
  const std::vector<std::string> &Rejected() const { return rejected_; }

  static StringPackageService *Current();
  static void SetCurrent(StringPackageService *service);

  // The protocol's work; the entry points route here.
  EFI_STATUS Add(const VOID *list, STRING_PACKAGE_HANDLE *handle);
  EFI_STATUS Load(EFI_HANDLE image, STRING_PACKAGE_HANDLE *handle);
  EFI_STATUS Remove(STRING_PACKAGE_HANDLE handle);
  EFI_STATUS Languages(STRING_PACKAGE_HANDLE handle, CHAR8 *buffer, UINTN *size);
  EFI_STATUS Read(STRING_PACKAGE_HANDLE handle, const CHAR8 *language, UINT16 token, UINTN *length,
                  CHAR16 *buffer);

private:
  HiiStringDatabase database_;
  StringPackageProtocol protocol_{};
  std::vector<std::string> rejected_;
};

} // namespace sim
