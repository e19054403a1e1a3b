// The key-code text of the SetButton command, which the operating system
// writes into the shared command buffer: any units, any length.
//
// Input: the bytes as UTF-16LE units; the span's length is the unit count
// (an odd last byte is dropped). Checks: the parse writes nothing past the
// ten-byte key-code field (ASan sees the rest of an exact-size block) and
// agrees with an independent reading of the rule: pairs of hexadecimal digits
// up to the first NUL, a lone last digit ignored, 1 to 9 bytes accepted.
#include "button_smm/Buttons.h"
#include "button_smm/HexKeyCodes.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void Require(bool condition) {
  if (!condition)
    std::abort();
}

int Digit(uint16_t unit) {
  if (unit >= '0' && unit <= '9')
    return unit - '0';
  if (unit >= 'A' && unit <= 'F')
    return unit - 'A' + 10;
  if (unit >= 'a' && unit <= 'f')
    return unit - 'a' + 10;
  return -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const size_t units = size / 2;
  // An exact-size copy, so a read past the span is an ASan report.
  std::unique_ptr<uint8_t[]> text(new uint8_t[units * 2 + 1]);
  std::memcpy(text.get(), data, units * 2);
  std::unique_ptr<UINT8[]> bytes(new UINT8[ButtonSmm::kKeyCodeMax]);
  std::memset(bytes.get(), 0xCC, ButtonSmm::kKeyCodeMax);
  UINTN count = 99;
  ButtonSmm::WideSpan span{text.get(), units};
  const BOOLEAN ok = ButtonSmm::ParseHexKeyCodes(span, bytes.get(), &count);

  // The oracle.
  size_t length = 0;
  while (length < units && (data[2 * length] | (data[2 * length + 1] << 8)) != 0)
    ++length;
  const size_t pairs = length / 2;
  bool valid = pairs >= 1 && pairs < ButtonSmm::kKeyCodeMax;
  uint8_t expected[ButtonSmm::kKeyCodeMax] = {};
  for (size_t i = 0; i < pairs && i < ButtonSmm::kKeyCodeMax; ++i) {
    int high = Digit(uint16_t(data[4 * i] | (data[4 * i + 1] << 8)));
    int low = Digit(uint16_t(data[4 * i + 2] | (data[4 * i + 3] << 8)));
    if (high < 0 || low < 0) {
      valid = false;
      break;
    }
    expected[i] = uint8_t(high * 16 + low);
  }
  Require(bool(ok) == valid);
  if (valid) {
    Require(count == pairs);
    Require(std::memcmp(bytes.get(), expected, pairs) == 0);
  }
  Require(count <= ButtonSmm::kKeyCodeMax);
  return 0;
}
