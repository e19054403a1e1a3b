#include "tests/firmware_app/Log.h"

#include "support/Format.h"

namespace FirmwareApp {

constinit Services gFw = {};

namespace {

constinit UINT32 gPassed = 0;
constinit UINT32 gFailed = 0;

VOID Emit(const CHAR16 *Prefix, const CHAR16 *Format, va_list Args) {
  // Room for the line end and its terminator is kept back from the formatter,
  // which stops short of the size it is given.
  CHAR16 Line[256];
  UINTN N = FormatWide(Line, 256, u"%s%s", kLogTag, Prefix);
  N += FormatWideV(Line + N, 256 - N - 2, Format, Args);
  Line[N] = u'\r';
  Line[N + 1] = u'\n';
  Line[N + 2] = 0;
  gFw.St->ConOut->OutputString(gFw.St->ConOut, Line);
}

} // namespace

VOID RecordServices(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  gFw.Image = ImageHandle;
  gFw.St = SystemTable;
  gFw.Bs = SystemTable->BootServices;
  gFw.Rt = SystemTable->RuntimeServices;
}

VOID Print(const CHAR16 *Format, ...) {
  va_list Args;
  va_start(Args, Format);
  Emit(u"", Format, Args);
  va_end(Args);
}

BOOLEAN Check(BOOLEAN Ok, const CHAR16 *Format, ...) {
  va_list Args;
  va_start(Args, Format);
  Emit(Ok ? u"PASS " : u"FAIL ", Format, Args);
  va_end(Args);
  if (Ok)
    ++gPassed;
  else
    ++gFailed;
  return Ok;
}

UINT32 PassedCount() {
  return gPassed;
}

UINT32 FailedCount() {
  return gFailed;
}

} // namespace FirmwareApp
