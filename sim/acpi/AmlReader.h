// A reader of the load-time namespace of a definition block (DSDT, SSDT): it
// walks scopes, devices, processors, power resources and thermal zones the way
// an OS loads them, skips method bodies and field lists, and reports the data
// of one Name object. It is the board's own view of a table, independent of
// the driver's byte scan.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sim {

class AmlReadError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct AmlNameData {
  // "Zero", "One", "Ones", "Byte", "Word", "DWord", "QWord" (integers),
  // "String", "Buffer", "Package", "VarPackage", "Revision".
  std::string Encoding;
  bool IsInteger = false;
  std::uint64_t Integer = 0; // integers only
  std::string Text;          // strings only
  std::size_t Offset = 0;    // the NameOp's offset in the table
};

// Path: absolute, NameSegs joined by '.', short segments padded with '_' or
// not ("\\QESD", "\\_SB.PCI0.LPCB.EC0"). Throws AmlReadError when the table
// holds something the reader cannot step over.
std::optional<AmlNameData> ReadAmlName(std::span<const std::uint8_t> table, std::string_view path);

// "0x1 (One)", "0x5 (Byte)", "\"ON\" (String)", "Package", "not declared".
std::string DescribeAmlName(const std::optional<AmlNameData> &data);

} // namespace sim
