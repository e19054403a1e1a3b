// AML fixtures compiled from tests/acpi/fixtures/*.asl at build time, and
// `iasl -d` as the outside oracle of what a table says.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace acpi_test {

std::vector<std::uint8_t> LoadFixture(const std::string &name);

// The disassembled table from its DefinitionBlock line on (the header comment,
// with its date and checksum remarks, left out).
std::vector<std::string> Disassemble(const std::vector<std::uint8_t> &table);

// "08 51 45" -> bytes.
std::vector<std::uint8_t> Hex(const std::string &text);

// Offset of the first occurrence of needle in haystack, or npos.
std::size_t Find(const std::vector<std::uint8_t> &haystack,
                 const std::vector<std::uint8_t> &needle);

// Some line, stripped of its indentation, equals line.
bool HasLine(const std::vector<std::string> &lines, const std::string &line);

// Expects the patched table's disassembly to differ from the original's in
// one line only: QESD set from Zero to One.
void ExpectOnlyQesdSetToOne(const std::vector<std::string> &was,
                            const std::vector<std::string> &now);

} // namespace acpi_test
