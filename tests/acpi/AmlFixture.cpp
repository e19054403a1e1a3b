#include "acpi/AmlFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace acpi_test {

namespace fs = std::filesystem;

std::vector<std::uint8_t> LoadFixture(const std::string &name) {
  std::ifstream in(fs::path(ACPI_FIXTURE_DIR) / (name + ".aml"), std::ios::binary);
  if (!in)
    throw std::runtime_error("no fixture " + name);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> Disassemble(const std::vector<std::uint8_t> &table) {
  static std::atomic<int> counter{0};
  const fs::path dir = fs::path(::testing::TempDir()) /
                       ("aml-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  fs::create_directories(dir);
  {
    std::ofstream out(dir / "t.aml", std::ios::binary);
    out.write(reinterpret_cast<const char *>(table.data()), std::streamsize(table.size()));
  }
  // iasl exits 0 even when it cannot disassemble: the .dsl file tells.
  const std::string command =
      "cd '" + dir.string() + "' && " IASL_PROGRAM " -d t.aml > iasl.log 2>&1";
  if (std::system(command.c_str()) != 0)
    throw std::runtime_error("iasl did not run");
  std::ifstream in(dir / "t.dsl");
  if (!in)
    throw std::runtime_error("iasl -d gave no disassembly");
  std::vector<std::string> lines;
  bool body = false;
  for (std::string line; std::getline(in, line);) {
    body = body || line.rfind("DefinitionBlock", 0) == 0;
    if (body)
      lines.push_back(line);
  }
  fs::remove_all(dir);
  return lines;
}

std::vector<std::uint8_t> Hex(const std::string &text) {
  std::vector<std::uint8_t> bytes;
  std::istringstream in(text);
  for (std::string token; in >> token;)
    bytes.push_back(std::uint8_t(std::stoul(token, nullptr, 16)));
  return bytes;
}

std::size_t Find(const std::vector<std::uint8_t> &haystack,
                 const std::vector<std::uint8_t> &needle) {
  auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
  return it == haystack.end() ? std::string::npos : std::size_t(it - haystack.begin());
}

bool HasLine(const std::vector<std::string> &lines, const std::string &line) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string &l) {
    auto first = l.find_first_not_of(' ');
    return first != std::string::npos && l.substr(first) == line;
  });
}

void ExpectOnlyQesdSetToOne(const std::vector<std::string> &was,
                            const std::vector<std::string> &now) {
  EXPECT_TRUE(HasLine(was, "Name (QESD, Zero)"));
  EXPECT_TRUE(HasLine(now, "Name (QESD, One)"));
  ASSERT_EQ(was.size(), now.size());
  std::size_t changed = 0;
  for (std::size_t i = 0; i < was.size(); ++i)
    changed += was[i] != now[i];
  EXPECT_EQ(changed, 1u);
}

} // namespace acpi_test
