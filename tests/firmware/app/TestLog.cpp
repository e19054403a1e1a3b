#include "tests/firmware/app/TestLog.h"

#include "support/Format.h"

namespace FirmwareTest {

constinit Services gFw = {};

namespace {

constinit UINT32 gPassed = 0;
constinit UINT32 gFailed = 0;

VOID Emit(const CHAR16 *Prefix, const CHAR16 *Format, va_list Args) {
  CHAR16 line[256];
  UINTN n = FormatWide(line, 256, u"[fw-test] %s", Prefix);
  FormatWideV(line + n, 256 - n - 2, Format, Args);
  n = 0;
  while (line[n] != 0)
    ++n;
  line[n] = u'\r';
  line[n + 1] = u'\n';
  line[n + 2] = 0;
  gFw.St->ConOut->OutputString(gFw.St->ConOut, line);
}

} // namespace

VOID Print(const CHAR16 *Format, ...) {
  va_list args;
  va_start(args, Format);
  Emit(u"", Format, args);
  va_end(args);
}

BOOLEAN Check(BOOLEAN Ok, const CHAR16 *Format, ...) {
  va_list args;
  va_start(args, Format);
  Emit(Ok ? u"PASS " : u"FAIL ", Format, args);
  va_end(args);
  if (Ok)
    ++gPassed;
  else
    ++gFailed;
  return Ok;
}

UINT32 FailedCount() {
  return gFailed;
}
UINT32 PassedCount() {
  return gPassed;
}

} // namespace FirmwareTest
