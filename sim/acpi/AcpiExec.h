// An outside ACPI interpreter's reading of a table: ACPICA's acpiexec
// (Debian acpica-tools) loads a copy of the table and evaluates named objects
// as an operating system's interpreter would.
//
// acpiexec refuses a table whose checksum is wrong, and the DSDT patch leaves
// the checksum as it was by design, so the copy gets a correct checksum first
// (the result says so). acpiexec exits 0 whatever happens: the result comes
// from reading its output. Commands go to it on standard input; its -b batch
// mode gives the same answers but sleeps about a second per run.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

struct AcpiExecValue {
  std::string Path;
  bool Evaluated = false;               // acpiexec returned an object
  std::optional<std::uint64_t> Integer; // when that object is an integer
  std::string Text; // "0x0F", acpiexec's description of another object, or its status
};

struct AcpiExecResult {
  enum class State { NotInstalled, NotLoaded, Evaluated };
  State Outcome = State::NotInstalled;
  bool ChecksumFixed = false; // the copy's checksum had to be corrected
  std::string Detail;         // why the table did not load, or acpiexec's path
  std::vector<AcpiExecValue> Values;

  const AcpiExecValue *Find(const std::string &path) const;
};

struct AcpiExecOptions {
  std::string Program = "acpiexec"; // a name looked up in PATH, or a path
  bool BatchMode = false;           // -b "evaluate ...; ..." instead of standard input
  unsigned LoopTimeoutSeconds = 2;  // bounds AML while loops (-to)
};

// The program's path when it can be run, else nothing.
std::optional<std::string> FindAcpiExec(const std::string &program = "acpiexec");

// Evaluates each path (like "\\QESD" or "\\_SB.PCI0.LPCB.TPM._STA") in a copy
// of the table. Throws std::runtime_error only when no process could be run.
AcpiExecResult EvaluateWithAcpiExec(std::span<const std::uint8_t> table,
                                    const std::vector<std::string> &paths,
                                    const AcpiExecOptions &options = {});

// "0x0F" for an evaluated integer; otherwise the value's text.
std::string DescribeAcpiExecValue(const AcpiExecResult &result, const std::string &path);

} // namespace sim
