#include "sim/acpi/AmlReader.h"

#include <sstream>
#include <vector>

namespace sim {

namespace {

constexpr std::size_t kHeaderSize = 36;

// Opcodes the load-time walk meets.
enum : std::uint8_t {
  kZeroOp = 0x00,
  kOneOp = 0x01,
  kAliasOp = 0x06,
  kNameOp = 0x08,
  kBytePrefix = 0x0A,
  kWordPrefix = 0x0B,
  kDWordPrefix = 0x0C,
  kStringPrefix = 0x0D,
  kQWordPrefix = 0x0E,
  kScopeOp = 0x10,
  kBufferOp = 0x11,
  kPackageOp = 0x12,
  kVarPackageOp = 0x13,
  kMethodOp = 0x14,
  kExternalOp = 0x15,
  kDualNamePrefix = 0x2E,
  kMultiNamePrefix = 0x2F,
  kExtOpPrefix = 0x5B,
  kRootChar = 0x5C,
  kParentChar = 0x5E,
  kIfOp = 0xA0,
  kElseOp = 0xA1,
  kWhileOp = 0xA2,
  kOnesOp = 0xFF,
};

enum : std::uint8_t {
  kMutexOp = 0x01,
  kEventOp = 0x02,
  kRevisionOp = 0x30,
  kOpRegionOp = 0x80,
  kFieldOp = 0x81,
  kDeviceOp = 0x82,
  kProcessorOp = 0x83,
  kPowerResOp = 0x84,
  kThermalZoneOp = 0x85,
  kIndexFieldOp = 0x86,
  kBankFieldOp = 0x87,
};

using Path = std::vector<std::string>;

std::string Pad(std::string seg) {
  seg.resize(4, '_');
  return seg;
}

Path ParsePath(std::string_view text) {
  if (text.empty() || text[0] != '\\')
    throw AmlReadError("path must be absolute: " + std::string(text));
  Path path;
  std::string seg;
  for (char c : text.substr(1)) {
    if (c == '.') {
      path.push_back(Pad(seg));
      seg.clear();
    } else {
      seg += c;
    }
  }
  if (!seg.empty())
    path.push_back(Pad(seg));
  return path;
}

class Walker {
public:
  Walker(std::span<const std::uint8_t> table, Path target)
      : aml_(table), target_(std::move(target)) {}

  std::optional<AmlNameData> Run() {
    if (aml_.size() < kHeaderSize)
      throw AmlReadError("table shorter than its header");
    Path root;
    TermList(kHeaderSize, aml_.size(), root);
    return found_;
  }

private:
  [[noreturn]] void Fail(std::size_t at, const std::string &what) const {
    std::ostringstream s;
    s << what << " at offset 0x" << std::hex << at;
    throw AmlReadError(s.str());
  }

  std::uint8_t Byte(std::size_t at, std::size_t end) const {
    if (at >= end)
      Fail(at, "unexpected end of data");
    return aml_[at];
  }

  // PkgLength at `at`: returns the end of the package; `at` moves past the
  // length bytes.
  std::size_t PkgEnd(std::size_t &at, std::size_t end) const {
    const std::size_t start = at;
    const std::uint8_t lead = Byte(at++, end);
    const unsigned follow = lead >> 6;
    std::size_t length = follow == 0 ? (lead & 0x3F) : (lead & 0x0F);
    for (unsigned i = 0; i < follow; ++i)
      length |= std::size_t(Byte(at++, end)) << (4 + 8 * i);
    if (length < at - start || start + length > end)
      Fail(start, "package length out of bounds");
    return start + length;
  }

  // NameString at `at`, resolved against scope.
  Path NameString(std::size_t &at, std::size_t end, const Path &scope) const {
    Path path = scope;
    if (Byte(at, end) == kRootChar) {
      path.clear();
      ++at;
    } else {
      while (Byte(at, end) == kParentChar) {
        if (path.empty())
          Fail(at, "parent prefix above the root");
        path.pop_back();
        ++at;
      }
    }
    std::size_t count = 1;
    const std::uint8_t lead = Byte(at, end);
    if (lead == kZeroOp) {
      ++at;
      return path;
    }
    if (lead == kDualNamePrefix) {
      count = 2;
      ++at;
    } else if (lead == kMultiNamePrefix) {
      ++at;
      count = Byte(at++, end);
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (at + 4 > end)
        Fail(at, "NameSeg cut off");
      path.emplace_back(reinterpret_cast<const char *>(&aml_[at]), 4);
      at += 4;
    }
    return path;
  }

  // A constant integer operand (region offsets and lengths).
  void Integer(std::size_t &at, std::size_t end, AmlNameData *data) const {
    const std::uint8_t op = Byte(at++, end);
    std::size_t size = 0;
    const char *encoding = nullptr;
    std::uint64_t value = 0;
    switch (op) {
    case kZeroOp:
      encoding = "Zero";
      break;
    case kOneOp:
      encoding = "One";
      value = 1;
      break;
    case kOnesOp:
      encoding = "Ones";
      value = ~std::uint64_t(0);
      break;
    case kBytePrefix:
      encoding = "Byte";
      size = 1;
      break;
    case kWordPrefix:
      encoding = "Word";
      size = 2;
      break;
    case kDWordPrefix:
      encoding = "DWord";
      size = 4;
      break;
    case kQWordPrefix:
      encoding = "QWord";
      size = 8;
      break;
    default:
      Fail(at - 1, "no integer constant");
    }
    if (at + size > end)
      Fail(at, "integer cut off");
    for (std::size_t i = 0; i < size; ++i)
      value |= std::uint64_t(aml_[at + i]) << (8 * i);
    at += size;
    if (data != nullptr) {
      data->Encoding = encoding;
      data->IsInteger = true;
      data->Integer = value;
    }
  }

  AmlNameData DataObject(std::size_t &at, std::size_t end) const {
    AmlNameData data;
    const std::uint8_t op = Byte(at, end);
    switch (op) {
    case kStringPrefix: {
      const std::size_t start = ++at;
      while (Byte(at, end) != 0)
        ++at;
      data.Encoding = "String";
      data.Text.assign(reinterpret_cast<const char *>(&aml_[start]), at - start);
      ++at;
      return data;
    }
    case kBufferOp:
    case kPackageOp:
    case kVarPackageOp:
      ++at;
      at = PkgEnd(at, end);
      data.Encoding = op == kBufferOp ? "Buffer" : op == kPackageOp ? "Package" : "VarPackage";
      return data;
    case kExtOpPrefix:
      if (Byte(at + 1, end) != kRevisionOp)
        Fail(at, "unknown data object");
      at += 2;
      data.Encoding = "Revision";
      return data;
    default:
      Integer(at, end, &data);
      return data;
    }
  }

  void TermList(std::size_t at, std::size_t end, const Path &scope) {
    while (at < end) {
      const std::size_t start = at;
      const std::uint8_t op = aml_[at++];
      switch (op) {
      case kNameOp: {
        Path name = NameString(at, end, scope);
        AmlNameData data = DataObject(at, end);
        data.Offset = start;
        if (name == target_ && !found_)
          found_ = data;
        break;
      }
      case kScopeOp: {
        const std::size_t pkgEnd = PkgEnd(at, end);
        Path inner = NameString(at, pkgEnd, scope);
        TermList(at, pkgEnd, inner);
        at = pkgEnd;
        break;
      }
      case kMethodOp:
      case kIfOp:
      case kElseOp:
      case kWhileOp:
        // Bodies run at call time, not at load time.
        at = PkgEnd(at, end);
        break;
      case kAliasOp:
        NameString(at, end, scope);
        NameString(at, end, scope);
        break;
      case kExternalOp:
        NameString(at, end, scope);
        at += 2;
        break;
      case kExtOpPrefix:
        at = ExtendedTerm(at, end, scope);
        break;
      default:
        Fail(start, "opcode the reader does not know");
      }
    }
  }

  std::size_t ExtendedTerm(std::size_t at, std::size_t end, const Path &scope) {
    const std::size_t start = at - 1;
    const std::uint8_t op = Byte(at++, end);
    switch (op) {
    case kMutexOp:
      NameString(at, end, scope);
      return at + 1;
    case kEventOp:
      NameString(at, end, scope);
      return at;
    case kOpRegionOp:
      NameString(at, end, scope);
      ++at; // region space
      Integer(at, end, nullptr);
      Integer(at, end, nullptr);
      return at;
    case kFieldOp:
    case kIndexFieldOp:
    case kBankFieldOp:
      return PkgEnd(at, end);
    case kDeviceOp:
    case kThermalZoneOp:
    case kProcessorOp:
    case kPowerResOp: {
      const std::size_t pkgEnd = PkgEnd(at, end);
      Path inner = NameString(at, pkgEnd, scope);
      at += op == kProcessorOp ? 6 : op == kPowerResOp ? 3 : 0;
      TermList(at, pkgEnd, inner);
      return pkgEnd;
    }
    default:
      Fail(start, "extended opcode the reader does not know");
    }
  }

  std::span<const std::uint8_t> aml_;
  Path target_;
  std::optional<AmlNameData> found_;
};

} // namespace

std::optional<AmlNameData> ReadAmlName(std::span<const std::uint8_t> table, std::string_view path) {
  return Walker(table, ParsePath(path)).Run();
}

std::string DescribeAmlName(const std::optional<AmlNameData> &data) {
  if (!data)
    return "not declared";
  std::ostringstream s;
  if (data->IsInteger)
    s << "0x" << std::hex << std::uppercase << data->Integer << " (" << data->Encoding << ")";
  else if (data->Encoding == "String")
    s << '"' << data->Text << "\" (String)";
  else
    s << data->Encoding;
  return s.str();
}

} // namespace sim
