// The confirmation screen over texts another component serves: whatever the
// string package returns for a token (texts far longer than the screen's
// buffers, a full buffer without terminator, a partial text with an error,
// no text at all), every line the screen prints is terminated inside its
// buffer and no longer than a screen line, and the pool is balanced.
//
// The string package is this harness's: it never writes past the capacity
// the driver gives it (a provider that does cannot be defended against), but
// otherwise misbehaves as the input says. The text screen records the lines;
// the pool is the host heap (HeapPool.h).
//
// Input: operation, current operation, confirmation mode, then records
// {token, behaviour, UINT16 character count, characters (UTF-16)}. Behaviour
// bits 0-1: 0 honest, 1 fills the capacity without terminator and succeeds,
// 2 writes what fits and answers EFI_BUFFER_TOO_SMALL, 3 writes what fits and
// answers EFI_DEVICE_ERROR; bit 2: the given characters repeat up to the
// count. Tokens without a record answer EFI_NOT_FOUND.
#include "FuzzCheck.h"
#include "HeapPool.h"
#include "Platform/TextScreenProtocol.h"
#include "measure/MeasureBoard.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/ppi/PpiState.h"
#include "tpm_platform/ppi/ScreenTokens.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Text {
  bool Present = false;
  uint8_t Behaviour = 0;
  std::u16string Chars;
};
Text gTexts[256];
std::vector<std::u16string> gLines;
unsigned gBegins = 0;
UINTN gRow = 0;

EFI_STATUS EFIAPI ReadString(STRING_PACKAGE_HANDLE, UINT16 Token, UINTN *Length, CHAR16 *Buffer) {
  const Text &text = gTexts[Token & 0xFF];
  if (Token > 0xFF || !text.Present)
    return EFI_NOT_FOUND;
  const UINTN capacity = *Length;
  const UINTN count = text.Chars.size();
  const UINTN fits = count < capacity ? count : capacity;
  switch (text.Behaviour & 3) {
  case 0:
    *Length = count + 1;
    if (capacity < count + 1)
      return EFI_BUFFER_TOO_SMALL;
    std::memcpy(Buffer, text.Chars.data(), 2 * count);
    Buffer[count] = 0;
    return EFI_SUCCESS;
  case 1:
    std::memcpy(Buffer, text.Chars.data(), 2 * fits);
    *Length = fits;
    return EFI_SUCCESS;
  case 2:
    std::memcpy(Buffer, text.Chars.data(), 2 * fits);
    *Length = count + 1;
    return EFI_BUFFER_TOO_SMALL;
  default:
    std::memcpy(Buffer, text.Chars.data(), 2 * fits);
    return EFI_DEVICE_ERROR;
  }
}

EFI_STATUS EFIAPI Unused() {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI PrintLine(const CHAR16 *String) {
  // Reads up to the terminator: ASan reports a line that has none in its buffer.
  gLines.emplace_back(String);
  ++gRow;
  return EFI_SUCCESS;
}
EFI_STATUS EFIAPI Begin() {
  ++gBegins;
  return EFI_SUCCESS;
}
EFI_STATUS EFIAPI SetCursor(UINTN, UINTN Row) {
  gRow = Row;
  return EFI_SUCCESS;
}
EFI_STATUS EFIAPI GetCursor(UINTN *Column, UINTN *Row) {
  *Column = 0;
  *Row = gRow;
  return EFI_SUCCESS;
}

StringPackageProtocol gPackage = {
    reinterpret_cast<STRING_PACKAGE_ADD>(Unused),
    reinterpret_cast<STRING_PACKAGE_LOAD>(Unused),
    reinterpret_cast<STRING_PACKAGE_REMOVE>(Unused),
    reinterpret_cast<STRING_PACKAGE_GET_LANGUAGES>(Unused),
    reinterpret_cast<STRING_PACKAGE_READ_LANGUAGE>(Unused),
    ReadString,
};
TextScreenProtocol gScreen = {
    Unused,
    PrintLine,
    reinterpret_cast<TEXT_SCREEN_PRINT>(Unused),
    reinterpret_cast<TEXT_SCREEN_SET_ATTRIBUTE>(Unused),
    reinterpret_cast<TEXT_SCREEN_GET_SIZE>(Unused),
    Begin,
    SetCursor,
    GetCursor,
};

// A powered board (pool, variables) without drivers; this harness's text
// screen is the only one installed.
measure_test::TestBoard &Board() {
  static measure_test::TestBoard board(nlohmann::json::parse(R"({
    "drivers": { "tpm_platform": { "load": false }, "button_smm": { "load": false } }
  })"));
  static bool started = [] {
    board->PowerOn();
    EFI_HANDLE handle = nullptr;
    if (board->BootServices()->InstallProtocolInterface(
            &handle, &gTextScreenProtocolGuid, EFI_NATIVE_INTERFACE, &gScreen) != EFI_SUCCESS)
      std::abort();
    TpmPlatform::gST = board->SystemTable();
    TpmPlatform::gBS = fuzz::HeapPool::Wrap(board->BootServices());
    TpmPlatform::gRT = board->RuntimeServices();
    return true;
  }();
  (void)started;
  return board;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Board(); // set up once, before the first input
  if (size < 3)
    return 0;
  const uint8_t operation = data[0];
  TpmPlatform::gPpi = TpmPlatform::kPpiInitialState;
  TpmPlatform::gPpi.CurrentOperation = data[1];
  TpmPlatform::gPpi.ConfirmationMode = data[2];

  size_t at = 3;
  while (size - at >= 4) {
    Text &text = gTexts[data[at]];
    text.Present = true;
    text.Behaviour = data[at + 1];
    const size_t count = data[at + 2] | size_t(data[at + 3]) << 8;
    at += 4;
    const size_t given = (size - at) / 2 < count ? (size - at) / 2 : count;
    text.Chars.assign(given, u'\0');
    std::memcpy(text.Chars.data(), data + at, 2 * given);
    at += 2 * given;
    if ((text.Behaviour & 4) != 0 && given != 0)
      while (text.Chars.size() < count)
        text.Chars.push_back(text.Chars[text.Chars.size() % given]);
  }

  TpmPlatform::gStringPackage = &gPackage;
  TpmPlatform::gStringPackageHandle = reinterpret_cast<STRING_PACKAGE_HANDLE>(1);
  gBegins = 0;
  gRow = 0;
  const size_t poolBlocks = fuzz::HeapPool::Live();

  TpmPlatform::ShowPpiConfirmation(operation);

  CHECK(fuzz::HeapPool::Live() == poolBlocks);
  CHECK(gBegins == 1);
  for (const auto &line : gLines)
    CHECK(line.size() < TpmPlatform::kScreenTokenChars);

  // Nothing of this input stays behind (libFuzzer would take it for a leak).
  std::vector<std::u16string>().swap(gLines);
  for (Text &text : gTexts)
    text = Text{};
  return 0;
}
