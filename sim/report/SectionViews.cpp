#include "sim/report/SectionViews.h"

#include "sim/core/Text.h"
#include "sim/report/Format.h"

#include <cstdio>

namespace sim::report {

namespace {

using json = nlohmann::json;

std::string S(const json &v) {
  return v.is_string() ? v.get<std::string>() : v.dump();
}
std::string N(const json &v) {
  return std::to_string(v.get<uint64_t>());
}
std::string H(const json &v, int digits = 0) {
  return HexNumber(v.get<uint64_t>(), digits);
}
std::vector<uint8_t> Bytes(const json &v) {
  if (v.is_string())
    return FromHex(v.get<std::string>()).value_or(std::vector<uint8_t>{});
  return v.get<std::vector<uint8_t>>();
}

void Images(const json &d, int, Lines &out) {
  for (const auto &i : d) {
    std::string status = S(i["status"]);
    out.push_back(S(i["name"]) + ": " +
                  (status == "did not return" ? "entry did not return" : status));
  }
}

void Variables(const json &d, int, Lines &out) {
  for (const auto &w : d) {
    std::string line = S(w["name"]) + " " + S(w["guid"]) + " attr " + H(w["attributes"]) + " [" +
                       S(w["phase"]) + "]: ";
    const json &b = w["before"], &a = w["after"];
    if (a.is_null())
      line += "deleted (was " + (b.is_null() ? std::string("-") : S(b)) + ")";
    else if (b.is_null())
      line += "created " + S(a);
    else if (b == a)
      line += "rewritten unchanged " + S(a);
    else
      line += S(b) + " -> " + S(a);
    out.push_back(line);
  }
}

void Cmos(const json &d, int, Lines &out) {
  for (const auto &c : d)
    out.push_back(H(c["register"], 2) + ": " + H(c["before"], 2) + " -> " + H(c["after"], 2));
}

void Io(const json &d, int verbosity, Lines &out) {
  for (const auto &p : d["ports"]) {
    std::string device = S(p["device"]);
    out.push_back(H(p["port"], 4) + " " + (device.empty() ? "(unclaimed)" : device) + ": " +
                  N(p["reads"]) + " reads, " + N(p["writes"]) + " writes");
  }
  if (verbosity < 2)
    return;
  out.push_back("trace: " + N(d["total"]) + " accesses" +
                (d["dropped"].get<uint64_t>() ? ", " + N(d["dropped"]) + " dropped" : ""));
  for (const auto &a : d["trace"]) {
    bool port = a["space"] == "port";
    unsigned width = a["width"].get<unsigned>();
    out.push_back(Printf(
        "%6llu %-5s %s %s = %s  %s [%s]", (unsigned long long)a["seq"].get<uint64_t>(),
        S(a["access"]).c_str(), port ? "port" : "mmio", H(a["address"], port ? 4 : 8).c_str(),
        H(a["value"], 2 * int(width)).c_str(), S(a["device"]).c_str(), S(a["context"]).c_str()));
  }
}

void Protocols(const json &d, int, Lines &out) {
  for (const auto &c : d)
    out.push_back(S(c["change"]) + " " + S(c["name"]) + " on handle " + N(c["handle"]) + " [" +
                  S(c["phase"]) + "]");
}

void Pool(const json &d, int, Lines &out) {
  if (d["live_blocks"].get<uint64_t>())
    out.push_back(N(d["live_blocks"]) + " blocks (" + N(d["live_bytes"]) +
                  " bytes) still allocated at the end of the boot");
  for (const auto &b : d["live"])
    out.push_back("still allocated: block " + N(b["serial"]) + ", " + N(b["size"]) +
                  " bytes, type " + N(b["type"]) + " [" + S(b["phase"]) + "]");
}

void Resets(const json &d, int, Lines &out) {
  for (const auto &x : d)
    out.push_back(S(x["type"]) + " reset, status " + S(x["status"]) + " [" + S(x["phase"]) + "]" +
                  (x["returned"].get<bool>() ? ": ResetSystem returned" : ""));
}

void Faults(const json &d, int, Lines &out) {
  for (const auto &r : d["rules"]) {
    uint64_t n = r["failed_calls"].get<uint64_t>();
    out.push_back(S(r["rule"]) + ": failed " + std::to_string(n) + (n == 1 ? " call" : " calls"));
  }
  for (const auto &f : d["injected"])
    out.push_back(S(f["service"]) + " call " + N(f["call"]) +
                  (S(f["status"]) == "NULL" ? " succeeded with a NULL buffer"
                                            : " failed with " + S(f["status"])));
}

void Tpm(const json &d, int verbosity, Lines &out) {
  out.push_back("vendor " + S(d["vendor_id"]));
  if (d.contains("unreadable")) {
    out.push_back("TPM not readable: " + S(d["unreadable"]));
  } else if (d.contains("flags")) {
    const json &f = d["flags"];
    out.push_back(Printf("flags at end of boot: disable %d, deactivated %d, owner install %d, "
                         "owned %d, physical presence lock %d",
                         int(f["disable"].get<bool>()), int(f["deactivated"].get<bool>()),
                         int(f["ownership"].get<bool>()), int(f["owned"].get<bool>()),
                         int(f["physical_presence_lock"].get<bool>())));
    for (int i = 0; i < 8; ++i)
      out.push_back("PCR " + std::to_string(i) + " " + S(d["pcrs"][std::to_string(i)]));
  }
  if (verbosity >= 2 && d.contains("requests"))
    for (const auto &r : d["requests"])
      out.push_back("PassThroughToTpm: " + S(r));
}

void TpmPlatformState(const json &d, int, Lines &out) {
  for (const char *name : {"ZELTCGPPIVAR", "TCG"}) {
    std::string line = std::string(name) + " " + (d[name].is_null() ? "(absent)" : S(d[name]));
    std::string fields = std::string(name) + "_fields";
    if (d.contains(fields)) {
      const json &f = d[fields];
      if (std::string(name) == "TCG")
        line += " (manufacturing state " +
                std::string(f["manufacturing_state"].get<bool>() ? "set" : "clear") +
                ", operation handed over " + N(f["operation_handed_over"]) +
                ", confirmation mode " + N(f["confirmation_mode"]) + ")";
      else
        line += " (request " + N(f["request"]) + ", last operation " + N(f["last_operation"]) +
                ", last result " + H(f["last_result"], 4) + ")";
    }
    out.push_back(line);
  }
  out.push_back("CMOS 0x6F " + H(d["cmos_6f"], 2));
  for (const auto &c : d["setup_changes"]) {
    auto byte = [](const json &v) { return v.get<int>() < 0 ? std::string("-") : H(v, 2); };
    out.push_back("Setup byte " + N(c["offset"]) + ": " + byte(c["before"]) + " -> " +
                  byte(c["after"]));
  }
  if (d["setup_changes"].empty())
    out.push_back("Setup unchanged");
}

void Hooks(const json &d, int, Lines &out) {
  if (d["installed"].get<bool>()) {
    out.push_back("PlatformHooksProtocol installed on handle " + N(d["handle"]));
    for (const auto &s : d["slots"])
      out.push_back("  slot " + N(s["slot"]) + " " + S(s["name"]) +
                    (s["set"].get<bool>() ? "" : " (empty)"));
  } else {
    out.push_back("PlatformHooksProtocol not installed");
  }
  for (const auto &c : d["calls"])
    out.push_back("called " + S(c["hook"]) + " at " + S(c["phase"]) + ": " + S(c["status"]) +
                  (c.contains("options") ? ", options " + S(c["options"]) : ""));
}

void PpiOperation(const json &d, int, Lines &out) {
  out.push_back("operation " + N(d["operation"]) + ": " +
                (d["succeeded"].get<bool>() ? "done, PpiSuccessHob reported"
                                            : "failed, result 0xFFF1 recorded"));
  for (const auto &c : d["commands"])
    out.push_back("  " + S(c));
}

void FirmwareVolumes(const json &d, int, Lines &out) {
  std::string location = S(d["microcode"]);
  out.push_back(N(d["volumes"]) + " FV2 volume(s); microcode file " +
                (location == "volume"  ? "in volume " + N(d["microcode_volume"])
                 : location == "flash" ? "only in the flash volume at 0xFFAF0000"
                                       : "nowhere"));
}

void Smbios(const json &d, int, Lines &out) {
  if (!d.value("present", false)) {
    out.push_back("no SMBIOS table");
    return;
  }
  out.push_back(Printf("entry point at 0x%llX, %u structures, %u bytes at 0x%X",
                       (unsigned long long)d["entry_point"].get<uint64_t>(),
                       d["structures"].get<unsigned>(), d["table_length"].get<unsigned>(),
                       d["table_address"].get<unsigned>()));
}

void MeasurePlatform(const json &d, int, Lines &out) {
  if (d.contains("platform_table")) {
    const json &t = d["platform_table"];
    out.push_back(Printf("platform table at 0x%llX, %u bytes, length field %u",
                         (unsigned long long)t["address"].get<uint64_t>(),
                         t["length"].get<unsigned>(), t["length_field"].get<unsigned>()));
  }
  out.push_back(d["wake_source"].is_null() ? "no WakeInfoHob"
                                           : "WakeInfoHob wake source " + N(d["wake_source"]));
  for (const auto &o : d["overrides"])
    out.push_back(S(o["name"]) + " override called " + N(o["calls"]) + " time(s)");
}

void Pci(const json &d, int, Lines &out) {
  for (const auto &f : d) {
    std::string rom = S(f["rom"]);
    out.push_back(Printf("%02X:%02X.%X %-12s PFA 0x%04X, %s%s", f["bus"].get<unsigned>(),
                         f["device"].get<unsigned>(), f["function"].get<unsigned>(),
                         S(f["name"]).c_str(), f["pfa"].get<unsigned>(),
                         rom == "pci-io"   ? "ROM image in PCI I/O"
                         : rom == "legacy" ? "legacy ROM"
                                           : "no ROM",
                         f["before_hooks"].get<bool>() ? ", enumerated before the hooks" : ""));
  }
}

void BootManager(const json &d, int, Lines &out) {
  for (const auto &l : d["log"])
    out.push_back(S(l));
}

void EventLog(const json &d, int, Lines &out) {
  unsigned index = 0;
  for (const auto &r : d["records"])
    out.push_back(
        Printf("%3u  PCR %u  %-30s ", index++, r["pcr"].get<unsigned>(), S(r["type"]).c_str()) +
        S(r["description"]));
  if (d["records"].empty())
    out.push_back("(no records)");
  for (int pcr = 0; pcr < 8; ++pcr) {
    std::string key = std::to_string(pcr);
    std::string compared = d.contains("compared_with_tpm") ? S(d["compared_with_tpm"][key]) : "";
    out.push_back("replayed PCR " + key + " " + S(d["replayed_pcrs"][key]) +
                  (compared == "same"      ? "  (= TPM)"
                   : compared == "differs" ? "  (TPM DIFFERS)"
                                           : "  (TPM not readable)"));
  }
}

void Acpi(const json &d, int, Lines &out) {
  std::string listed;
  for (const auto &t : d["support_protocol_tables"])
    listed += (listed.empty() ? "" : ", ") + S(t);
  out.push_back("DSDT at " + H(d["dsdt_address"], 8) + " (" + N(d["dsdt_length"]) + " bytes, " +
                S(d["dsdt_source"]) +
                "); ACPI support protocol lists: " + (listed.empty() ? "none" : listed));
  // Beside the board's own reading: what acpiexec evaluated, when it was asked to.
  auto interpreter = [&](const char *when) -> std::string {
    if (!d.contains("acpiexec"))
      return "";
    const json &e = d["acpiexec"][when];
    return "; " + S(d["acpiexec"]["tpm_device"]) + "._STA " + S(e["sta"]) +
           (e["evaluated"].get<bool>() ? ", QESD " + S(e["qesd"]) + " (acpiexec)" : "");
  };
  out.push_back("QESD before start-up: " + S(d["qesd_before_text"]) + interpreter("before"));
  out.push_back("QESD after start-up:  " + S(d["qesd_after_text"]) + interpreter("after"));
  std::string changes;
  for (const auto &c : d["changed_bytes"])
    changes += (changes.empty() ? "" : ", ") + H(c["offset"]) + ": " + H(c["before"], 2) + " -> " +
               H(c["after"], 2);
  out.push_back(
      changes.empty()
          ? std::string("DSDT unchanged")
          : "DSDT bytes changed: " + changes +
                (d["checksum_valid"].get<bool>() ? "" : " (checksum left as it was: now invalid)"));
  if (d.contains("acpiexec") && (d["acpiexec"]["before"]["checksum_fixed_on_copy"].get<bool>() ||
                                 d["acpiexec"]["after"]["checksum_fixed_on_copy"].get<bool>()))
    out.push_back("acpiexec evaluated a copy with the checksum fixed up (it refuses a wrong one; "
                  "the table itself is left as it is)");
}

void SmmHandlers(const json &d, int, Lines &out) {
  for (const auto &r : d)
    out.push_back(
        (r["kind"] == "software" ? "software SMI " + H(r["value"], 2) : "GPI " + N(r["value"])) +
        "  (registered in " + S(r["context"]) + ")");
  if (d.empty())
    out.push_back("none");
}

void StartupWrites(const json &d, int, Lines &out) {
  for (const auto &a : d)
    out.push_back(
        (a["space"] == "port" ? "port " + H(a["address"], 4) : "memory " + H(a["address"], 8)) +
        " <- " + H(a["value"], 2 * a["width"].get<int>()) + "  " + S(a["device"]));
  if (d.empty())
    out.push_back("none");
}

void BootScript(const json &d, int, Lines &out) {
  static const char *const kWidth[] = {"8", "16", "32", "64"};
  for (const auto &e : d) {
    unsigned w = e["width"].get<unsigned>() & 3;
    int digits = 2 << w;
    unsigned long long address = e["address"].get<uint64_t>(), data = e["data"].get<uint64_t>(),
                       mask = e["mask"].get<uint64_t>();
    const char *form = e["form"].get_ref<const std::string &>().c_str();
    switch (e["opcode"].get<unsigned>()) {
    case 0x00: // io write
      out.push_back(Printf("io-write  port 0x%04llX width %-2s value 0x%0*llX  [%s]", address,
                           kWidth[w], digits,
                           e["values"].empty() ? 0ULL : e["values"][0].get<uint64_t>(), form));
      break;
    case 0x01: // io read-write
      out.push_back(Printf("io-rmw    port 0x%04llX width %-2s or 0x%0*llX and 0x%0*llX  [%s]",
                           address, kWidth[w], digits, data, digits, mask, form));
      break;
    default:
      out.push_back(Printf("pci-rmw   %02llX:%02llX.%llX reg 0x%02llX width %s or 0x%08llX and "
                           "0x%08llX  [%s]",
                           address >> 24 & 0xFF, address >> 16 & 0xFF, address >> 8 & 0xFF,
                           address & 0xFF, kWidth[w], data, mask, form));
    }
  }
  if (d.empty())
    out.push_back("empty");
}

void Strings(const json &d, int, Lines &out) {
  for (const auto &l : d)
    out.push_back(S(l));
}

void S3(const json &d, int, Lines &out) {
  for (const auto &s3 : d) {
    out.push_back("suspend lost " + std::to_string(s3["lost"].size()) + " registers; " +
                  N(s3["replayed"]) + " boot-script entries replayed");
    for (const auto &r : s3["registers"]) {
      bool restored = r["before_suspend"] == r["after_resume"];
      out.push_back("  " + S(r["name"]) + ": " + H(r["before_suspend"], 2) + " -> " +
                    H(r["after_suspend"], 2) + " -> " + H(r["after_resume"], 2) +
                    (restored ? "  restored" : "  NOT RESTORED"));
    }
    if (s3["different"].empty())
      out.push_back("every compared register is back as start-up left it");
  }
}

void HotkeyDevices(const json &d, int, Lines &out) {
  out.push_back("backlight level " + N(d["backlight_level"]) + ", output register " +
                H(d["output"], 2) + ", ACPI mode " + (d["acpi_mode"].get<bool>() ? "on" : "off") +
                ", SCIs " + N(d["scis"]));
  std::vector<uint8_t> keys = Bytes(d["keyboard"]);
  out.push_back("keyboard stream: " + (keys.empty() ? std::string("empty") : HexBytes(keys)));
  if (d["power_off"].get<bool>())
    out.push_back("machine off (power control 0xA00 = 0x19, 0xA01 bit 6)");
}

void Screen(const json &d, int, Lines &out) {
  for (const auto &row : d["rows"])
    out.push_back("|" + S(row));
}

void Keys(const json &d, int, Lines &out) {
  out.push_back(S(d["keys"]));
}

void Rejected(const json &d, int, Lines &out) {
  for (const auto &r : d["rejected"])
    out.push_back(S(r));
}

} // namespace

// The story sections (StoryViews.cpp).
void RenderButtonPress(const json &d, int verbosity, Lines &out);
void RenderSmiRequest(const json &d, int verbosity, Lines &out);

namespace {

// A scenario's actions in this boot, each with its line and its result.
void Steps(const json &d, int verbosity, Lines &out) {
  for (const auto &step : d) {
    out.push_back("line " + N(step["line"]) + ": " + S(step["text"]));
    Lines lines;
    const json &r = step["result"];
    const std::string kind = S(step["kind"]);
    if (kind == "button_press")
      RenderButtonPress(r, verbosity, lines);
    else if (kind == "smi_request")
      RenderSmiRequest(r, verbosity, lines);
    else if (kind == "s3_cycle")
      lines.push_back("suspend lost " + N(r["lost"]) + " registers; " + N(r["replayed"]) +
                      " boot-script entries replayed" +
                      (r["different"].empty() ? "; all restored" : "; NOT all restored"));
    else
      lines.push_back(r.dump());
    for (const auto &l : lines)
      out.push_back("  " + l);
  }
}

void Phases(const json &d, int, Lines &out) {
  std::string ran;
  for (const auto &p : d)
    ran += (ran.empty() ? "" : ", ") + S(p);
  out.push_back(ran.empty() ? std::string("none") : ran);
}

// Every section a board part publishes. The text prints a boot's sections in
// the order they were published, story sections first.
constexpr SectionView kViews[] = {
    {"button_press", "Button press", 0, true, RenderButtonPress},
    {"smi_request", "Software SMI", 0, true, RenderSmiRequest},
    {"steps", "Scenario steps", 0, true, Steps},
    {"phases", "Phases", 2, false, Phases},
    {"images", "Images", 1, false, Images},
    {"variables", "Variables written", 2, false, Variables},
    {"cmos", "CMOS changes", 1, false, Cmos},
    {"io", "Port accesses", 1, false, Io},
    {"protocols", "Protocol changes", 1, false, Protocols},
    {"pool", "Pool", 1, false, Pool},
    {"resets", "ResetSystem calls", 1, false, Resets},
    {"faults", "Fault rules", 1, false, Faults},
    {"tpm", "TPM", 1, false, Tpm},
    {"tpm_platform_state", "TPM platform state", 1, false, TpmPlatformState},
    {"hooks", "Hook table", 1, false, Hooks},
    {"ppi_operation", "Recorded PPI operation (earlier boot phase)", 1, false, PpiOperation},
    {"firmware_volumes", "Firmware volumes", 1, false, FirmwareVolumes},
    {"smbios", "SMBIOS", 1, false, Smbios},
    {"measure_platform", "Measurement platform", 1, false, MeasurePlatform},
    {"pci", "PCI functions", 1, false, Pci},
    {"boot_manager", "Boot manager", 1, false, BootManager},
    {"screen", "Text screen", 1, false, Screen},
    {"keys", "Keys read", 1, false, Keys},
    {"string_package", "String packages rejected", 1, false, Rejected},
    {"event_log", "TCG event log", 1, false, EventLog},
    {"acpi", "ACPI DSDT flag", 1, false, Acpi},
    {"smm_handlers", "SMI handlers registered", 1, false, SmmHandlers},
    {"smm_startup_writes", "SMM start-up writes", 2, false, StartupWrites},
    {"boot_script", "S3 boot script", 2, false, BootScript},
    {"smm_events", "Board actions", 1, false, Strings},
    {"s3", "S3 suspend and resume", 0, true, S3},
    {"hotkey_devices", "Hot-key devices", 1, false, HotkeyDevices},
};

} // namespace

std::span<const SectionView> SectionViews() {
  return kViews;
}

const SectionView *FindSectionView(std::string_view key) {
  for (const SectionView &v : kViews)
    if (v.Key == key)
      return &v;
  return nullptr;
}

} // namespace sim::report
