// Outside oracle: tpm2_eventlog parses the binary log each scenario exports
// and replays it; the PCRs it prints must equal PCRs 0 to 7 read from the TPM.
#include "measure/MeasureBoard.h"
#include "sim/report/EventDescription.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using namespace measure_test;

// The "pcrs:" / "sha1:" lines of tpm2_eventlog, read as text (its YAML for
// legacy logs repeats keys).
std::map<unsigned, std::string> ReplayWithTpm2Eventlog(const std::string &path,
                                                       std::string *output) {
  std::string command = "tpm2_eventlog '" + path + "' 2>&1";
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe)
    return {};
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
    output->append(buffer, n);
  pclose(pipe);

  std::map<unsigned, std::string> pcrs;
  std::istringstream in(*output);
  std::string line;
  bool inPcrs = false, inSha1 = false;
  while (std::getline(in, line)) {
    if (line.rfind("pcrs:", 0) == 0) {
      inPcrs = true;
      continue;
    }
    if (inPcrs && line.find("sha1:") != std::string::npos) {
      inSha1 = true;
      continue;
    }
    unsigned index;
    char hex[64];
    if (inSha1 && std::sscanf(line.c_str(), " %u : 0x%63s", &index, hex) == 2)
      pcrs[index] = hex;
    else if (inSha1 && line.find(':') != std::string::npos && line.find("0x") == std::string::npos)
      inSha1 = false;
  }
  return pcrs;
}

TEST(EventLogOracle, Tpm2EventlogReplaysThePcrsOfEveryScenario) {
  struct Scenario {
    const char *Name;
    nlohmann::json Patch;
    bool Reference = false; // the built-in board as platsim boots it, unpatched
  };
  const std::vector<Scenario> scenarios = {
      {"reference board", {}, true},
      {"measurement board", {}},
      {"vendor 0x15D1, three signals",
       {{"tpm", {{"vendor_id", 0x15D1}}}, {"boot_manager", {{"ready_to_boot_signals", 3}}}}},
      {"microcode only in flash", {{"firmware_volumes", {{"microcode", "flash"}}}}},
      {"no microcode, no PCI",
       {{"firmware_volumes", {{"microcode", "nowhere"}}},
        {"pci", {{"devices", nlohmann::json::array()}}}}},
      {"wake 5, no dbx, no platform table",
       {{"platform", {{"wake_source", 5}, {"platform_table", {{"present", false}}}}},
        {"boot_manager", {{"secure_boot", {{"keys", {"PK", "KEK", "db"}}}}}}}},
      {"ready-to-boot override", {{"platform", {{"overrides", {"ready_to_boot"}}}}}},
  };
  for (const auto &s : scenarios) {
    SCOPED_TRACE(s.Name);
    auto patch = s.Reference ? nlohmann::json::object() : MeasurementBoard();
    if (!s.Patch.is_null())
      patch.merge_patch(s.Patch);
    TestBoard board(patch);
    board->Boot();
    ASSERT_FALSE(board.Records().empty());
    if (s.Reference) // a first ready-to-boot touches every PCR from 0 to 7
      for (unsigned pcr = 0; pcr < 8; ++pcr)
        EXPECT_TRUE(std::any_of(board.Records().begin(), board.Records().end(),
                                [&](const auto &r) { return r.Pcr == pcr; }))
            << "no record for PCR " << pcr;
    const std::string path = board.Directory() + "/eventlog.bin";
    auto binary = board.Tcg().Log().ExportBinaryLog();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(binary.data()), std::streamsize(binary.size()));
    std::string output;
    auto replayed = ReplayWithTpm2Eventlog(path, &output);
    ASSERT_FALSE(replayed.empty()) << output;
    for (unsigned pcr = 0; pcr < 8; ++pcr) {
      SCOPED_TRACE(pcr);
      const std::string fromTpm = sim::report::Hex(board.Tcg().ReadPcr(pcr));
      auto it = replayed.find(pcr);
      if (it == replayed.end())
        EXPECT_EQ(fromTpm, std::string(40, '0')) << "no events for this PCR";
      else
        EXPECT_EQ(it->second, fromTpm);
    }
  }
}

} // namespace
