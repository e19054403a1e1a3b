#include "sim/report/TextView.h"

#include "sim/core/Text.h"
#include "sim/report/Format.h"
#include "sim/report/SectionViews.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace sim::report {

namespace {

using json = nlohmann::json;

std::string S(const json &v) {
  return v.is_string() ? v.get<std::string>() : v.dump();
}

std::string Colour(bool on, const char *code, const std::string &text) {
  return on ? std::string("\x1b[") + code + "m" + text + "\x1b[0m" : text;
}

std::optional<std::vector<uint8_t>> Value(const json &hex) {
  if (hex.is_null())
    return std::nullopt;
  return FromHex(hex.get<std::string>()).value_or(std::vector<uint8_t>{});
}

std::string BootHeading(const json &boot) {
  std::string out = "Boot " + S(boot["boot"]) + ": " + S(boot["outcome"]);
  if (boot.contains("detail"))
    out += " (" + S(boot["detail"]) + ")";
  return out;
}

// What one boot came to, for the verdict.
std::string BootVerdict(const json &boot) {
  std::vector<std::string> parts;
  if (boot.contains("images")) {
    std::string failed;
    for (const auto &i : boot["images"])
      if (i["status"] != "EFI_SUCCESS")
        failed += (failed.empty() ? "" : ", ") + S(i["name"]) + " " + S(i["status"]);
    parts.push_back(failed.empty() ? "both drivers started" : "driver failed: " + failed);
  } else {
    parts.push_back("no driver loaded");
  }
  if (boot.contains("event_log")) {
    const json &log = boot["event_log"];
    parts.push_back(std::to_string(log["records"].size()) + " measurements");
    std::string differs, unreadable;
    for (const auto &[pcr, how] : log["compared_with_tpm"].items()) {
      if (how == "differs")
        differs += (differs.empty() ? "" : ", ") + pcr;
      else if (how != "same")
        unreadable += (unreadable.empty() ? "" : ", ") + pcr;
    }
    if (!differs.empty())
      parts.push_back("log replay DIFFERS from the TPM on PCR " + differs);
    else if (!unreadable.empty())
      parts.push_back("TPM PCRs not readable to check the log");
    else
      parts.push_back("log replays to the TPM's PCRs");
  } else {
    parts.push_back("no TPM event log");
  }
  std::string out;
  for (const auto &p : parts)
    out += (out.empty() ? "" : ", ") + p;
  return out;
}

size_t ErrorCount(const json &run) {
  size_t n = 0;
  for (const auto &b : run["boots"])
    n += b["errors"].size();
  return n;
}

std::string Errors(const json &run) {
  size_t n = ErrorCount(run);
  if (n == 0)
    return "no errors";
  for (const auto &b : run["boots"])
    if (!b["errors"].empty())
      return std::to_string(n) + (n == 1 ? " error" : " errors") + " (boot " + S(b["boot"]) + ": " +
             S(b["errors"][0]) + ")";
  return "";
}

std::string OutcomeWords(const json &boot) {
  std::string text = S(boot["outcome"]);
  if (boot.contains("detail"))
    text += " (" + S(boot["detail"]) + ")";
  return text;
}

// "Boot 2 completed: ..., earlier boots: 1 reset (warm reset, in phase tcg-core)".
std::string BootsVerdict(const json &run) {
  const json &boots = run["boots"];
  if (boots.empty())
    return "No boot ran, " + Errors(run);
  const json &last = boots.back();
  std::string text = "Boot " + S(last["boot"]) + " " + OutcomeWords(last) + ": " +
                     BootVerdict(last) + ", " + Errors(run);
  if (boots.size() > 1) {
    // Earlier boots by outcome, runs of the same outcome folded: "1-3 completed".
    std::string earlier;
    for (size_t i = 0; i + 1 < boots.size();) {
      size_t j = i;
      while (j + 2 < boots.size() && OutcomeWords(boots[j + 1]) == OutcomeWords(boots[i]))
        ++j;
      std::string range = S(boots[i]["boot"]) + (j > i ? "-" + S(boots[j]["boot"]) : "");
      earlier += (earlier.empty() ? "" : ", ") + range + " " + OutcomeWords(boots[i]);
      i = j + 1;
    }
    text += "; earlier boots: " + earlier;
  }
  return text;
}

std::string ScenarioVerdict(const json &s) {
  size_t failed = 0;
  for (const auto &e : s["expects"])
    failed += !e["held"].get<bool>();
  std::string text = "Scenario " + S(s["file"]) + ": ";
  if (s.contains("error"))
    return text + "stopped at line " + S(s["error"]["line"]) + ": " + S(s["error"]["message"]);
  if (failed)
    return text + std::to_string(failed) + " of " + std::to_string(s["expects"].size()) +
           " expects FAILED";
  return text + "all " + std::to_string(s["expects"].size()) + " expects held";
}

void Section(const json &boot, const std::string &key, int verbosity, std::vector<std::string> &out,
             const std::string &indent = "  ") {
  if (!boot.contains(key))
    return;
  const SectionView *view = FindSectionView(key);
  Lines lines;
  if (view)
    view->Render(boot[key], verbosity, lines);
  else
    lines.push_back(boot[key].dump());
  if (lines.empty())
    return;
  out.push_back(indent + std::string(view ? view->Title : key));
  const std::string inner = indent + "  ";
  for (const auto &l : lines)
    out.push_back(inner + l);
}

std::vector<std::string> Order(const json &boot) {
  std::vector<std::string> keys;
  if (boot.contains("sections"))
    for (const auto &k : boot["sections"])
      keys.push_back(S(k));
  std::stable_partition(keys.begin(), keys.end(), [](const std::string &k) {
    const SectionView *v = FindSectionView(k);
    return v && v->Story;
  });
  return keys;
}

void PpiStory(const json &p, std::vector<std::string> &out) {
  out.push_back("PPI request: operation " + S(p["operation"]));
  for (const auto &b : p["boots"]) {
    out.push_back("");
    out.push_back("== Boot " + S(b["boot"]) + ": " + S(b["outcome"]) +
                  (b.contains("phase") ? " in phase " + S(b["phase"]) : ""));
    if (b.contains("screen")) {
      out.push_back("Screen:");
      for (const auto &row : b["screen"])
        out.push_back("  |" + S(row));
    }
    if (b.contains("earlier_phase")) {
      const json &e = b["earlier_phase"];
      out.push_back("Earlier boot phase carried out operation " + S(e["operation"]) + ": " +
                    (e["succeeded"].get<bool>() ? "done" : "failed"));
      for (const auto &c : e["commands"])
        out.push_back("  " + S(c));
    }
    auto var = [](const json &v) { return v.is_null() ? std::string("(absent)") : S(v); };
    out.push_back("ZELTCGPPIVAR " + var(b["ZELTCGPPIVAR"]) + ", TCG " + var(b["TCG"]) +
                  ", CMOS 0x6F " + HexNumber(b["cmos_6f"].get<uint64_t>(), 2));
  }
  if (p.contains("tpm_before")) {
    out.push_back("");
    out.push_back("TPM before: " + S(p["tpm_before"]));
    out.push_back("TPM after:  " + S(p["tpm_after"]));
  }
  out.push_back("");
}

void ScenarioStory(const json &s, int verbosity, bool colour, std::vector<std::string> &out) {
  if (verbosity >= 1)
    for (const auto &step : s["steps"])
      out.push_back("  line " + S(step["line"]) + " (boot " + S(step["boot"]) +
                    "): " + S(step["text"]));
  for (const auto &e : s["expects"]) {
    bool held = e["held"].get<bool>();
    if (held && verbosity < 1)
      continue;
    out.push_back("  line " + S(e["line"]) + ": " + S(e["text"]) + ": " +
                  (held ? std::string("held") : Colour(colour, "31", "FAILED")));
    if (!held) {
      out.push_back("    expected: " + S(e["expected"]));
      out.push_back("    seen:     " + S(e["seen"]));
    }
  }
}

} // namespace

std::string Verdict(const json &run) {
  if (run.contains("story") && run["story"].contains("scenario"))
    return ScenarioVerdict(run["story"]["scenario"]) + "; " + BootsVerdict(run);
  return BootsVerdict(run);
}

std::vector<std::string> SummaryLines(const json &boot) {
  std::vector<std::string> out;
  if (boot.contains("images")) {
    std::string images;
    for (const auto &i : boot["images"])
      images += (images.empty() ? "" : ", ") + S(i["name"]) + " " + S(i["status"]);
    out.push_back("images: " + images);
  }
  if (boot.contains("variables") && !boot["variables"].empty()) {
    // Per variable, its first value before the boot and its last after.
    struct Change {
      std::string Name;
      json Before, After;
      unsigned Writes = 0;
    };
    std::vector<Change> changes;
    for (const auto &w : boot["variables"]) {
      std::string id = S(w["name"]) + S(w["guid"]);
      auto it = std::find_if(changes.begin(), changes.end(),
                             [&](const Change &c) { return c.Name == id; });
      if (it == changes.end())
        it = changes.insert(changes.end(), {id, w["before"], w["after"]});
      it->After = w["after"];
      ++it->Writes;
    }
    out.push_back("variables written: " + std::to_string(boot["variables"].size()) + " writes of " +
                  std::to_string(changes.size()) + " variables");
    for (const auto &c : changes) {
      std::string name = c.Name.substr(0, c.Name.size() - 36);
      out.push_back("  " + VariableChange(name, Value(c.Before), Value(c.After)) +
                    (c.Writes > 1 ? " (" + std::to_string(c.Writes) + " writes)" : ""));
    }
  }
  if (boot.contains("cmos") && !boot["cmos"].empty()) {
    std::string cmos;
    for (const auto &c : boot["cmos"])
      cmos += (cmos.empty() ? "" : ", ") + HexNumber(c["register"].get<uint64_t>(), 2) + " " +
              HexNumber(c["before"].get<uint64_t>(), 2) + " -> " +
              HexNumber(c["after"].get<uint64_t>(), 2);
    out.push_back("CMOS: " + cmos);
  }
  if (boot.contains("tpm")) {
    const json &t = boot["tpm"];
    if (t.contains("flags")) {
      const json &f = t["flags"];
      out.push_back(std::string("TPM: ") + (f["disable"].get<bool>() ? "disabled" : "enabled") +
                    ", " + (f["deactivated"].get<bool>() ? "deactivated" : "activated") + ", " +
                    (f["owned"].get<bool>() ? "owned" : "unowned") + ", owner install " +
                    (f["ownership"].get<bool>() ? "allowed" : "not allowed") +
                    ", physical presence " +
                    (f["physical_presence_lock"].get<bool>() ? "locked" : "not locked"));
    } else {
      out.push_back("TPM: not readable");
    }
  }
  if (boot.contains("tpm_platform_state")) {
    const json &p = boot["tpm_platform_state"];
    std::string text = "physical presence: ";
    if (p.contains("ZELTCGPPIVAR_fields")) {
      const json &f = p["ZELTCGPPIVAR_fields"];
      text += "request " + S(f["request"]) + ", last operation " + S(f["last_operation"]) +
              ", last result " + HexNumber(f["last_result"].get<uint64_t>(), 4);
    } else {
      text += "ZELTCGPPIVAR " + (p["ZELTCGPPIVAR"].is_null() ? "absent" : S(p["ZELTCGPPIVAR"]));
    }
    if (boot.contains("ppi_operation")) {
      const json &o = boot["ppi_operation"];
      text += "; operation " + S(o["operation"]) + " carried out by the earlier boot phase: " +
              (o["succeeded"].get<bool>() ? "done" : "failed");
    }
    out.push_back(text);
  }
  if (boot.contains("screen")) {
    std::string first;
    for (const auto &row : boot["screen"]["rows"])
      if (first.empty() && row.is_string() &&
          std::any_of(row.get_ref<const std::string &>().begin(),
                      row.get_ref<const std::string &>().end(), ::isalpha))
        first = row.get<std::string>();
    out.push_back("screen: " + std::to_string(boot["screen"]["rows"].size()) +
                  " lines, first text \"" + first + "\"" +
                  (boot.contains("keys") ? "; keys read " + S(boot["keys"]["keys"]) : ""));
  }
  if (boot.contains("event_log")) {
    const json &log = boot["event_log"];
    std::map<unsigned, unsigned> perPcr;
    for (const auto &r : log["records"])
      ++perPcr[r["pcr"].get<unsigned>()];
    std::string counts;
    for (auto [pcr, n] : perPcr)
      counts += (counts.empty() ? "" : ", ") + std::to_string(pcr) + ": " + std::to_string(n);
    std::string verdict = "log replays to the TPM's PCRs";
    for (const auto &[pcr, how] : log["compared_with_tpm"].items())
      if (how != "same")
        verdict = how == "differs" ? "replay DIFFERS from the TPM" : "TPM PCRs not readable";
    out.push_back("event log: " + std::to_string(log["records"].size()) + " records (per PCR " +
                  (counts.empty() ? "none" : counts) + "); " + verdict);
  }
  if (boot.contains("acpi")) {
    const json &a = boot["acpi"];
    // acpiexec's _STA of the TPM device, when it was asked to evaluate it.
    std::string sta;
    if (a.contains("acpiexec")) {
      const json &e = a["acpiexec"];
      sta =
          "; TPM _STA " + S(e["after"]["sta"]) +
          (e["after"]["sta"] == e["before"]["sta"] ? "" : " (was " + S(e["before"]["sta"]) + ")") +
          (e["after"]["evaluated"].get<bool>() ? " (acpiexec)" : "");
    }
    out.push_back("DSDT flag: QESD " + S(a["qesd_after_text"]) +
                  (a["changed_bytes"].empty() ? ", DSDT unchanged"
                                              : " (was " + S(a["qesd_before_text"]) + ")") +
                  sta);
  }
  if (boot.contains("smm_handlers")) {
    std::string handlers;
    for (const auto &r : boot["smm_handlers"])
      handlers += (handlers.empty() ? "" : ", ") +
                  (r["kind"] == "software" ? "SW " + HexNumber(r["value"].get<uint64_t>(), 2)
                                           : "GPI " + S(r["value"]));
    out.push_back("SMI handlers: " + (handlers.empty() ? std::string("none") : handlers));
  }
  if (boot.contains("hotkey_devices")) {
    Lines lines;
    FindSectionView("hotkey_devices")->Render(boot["hotkey_devices"], 0, lines);
    out.push_back("hot-key devices: " + lines[0]);
    for (size_t i = 1; i < lines.size(); ++i)
      out.push_back("  " + lines[i]);
  }
  if (boot.contains("resets"))
    for (const auto &x : boot["resets"])
      out.push_back("reset: " + S(x["type"]) + ", status " + S(x["status"]) + " [" + S(x["phase"]) +
                    "]");
  if (boot.contains("faults"))
    out.push_back("injected faults: " + std::to_string(boot["faults"]["injected"].size()));
  if (boot.contains("pool") && boot["pool"]["live_blocks"].get<uint64_t>())
    out.push_back("pool: " + S(boot["pool"]["live_blocks"]) + " blocks still allocated");
  return out;
}

std::string RenderText(const json &run, const TextOptions &options) {
  std::vector<std::string> out;
  size_t errors = ErrorCount(run);
  bool failed = errors > 0;
  if (run.contains("story") && run["story"].contains("scenario")) {
    const json &s = run["story"]["scenario"];
    failed = failed || s.contains("error");
    for (const auto &e : s["expects"])
      failed = failed || !e["held"].get<bool>();
  }
  out.push_back(Colour(options.Colour, failed ? "31" : "32", Verdict(run)));
  if (!options.Quiet) {
    const bool only = !options.Sections.empty();
    if (!only) {
      out.push_back("Board: " + S(run["board"]));
      if (!S(run["state"]).empty())
        out.push_back("State: " + S(run["state"]));
      if (run.contains("story")) {
        if (run["story"].contains("ppi")) {
          out.push_back("");
          PpiStory(run["story"]["ppi"], out);
        }
        if (run["story"].contains("scenario"))
          ScenarioStory(run["story"]["scenario"], options.Verbosity, options.Colour, out);
      }
    }
    for (const auto &boot : run["boots"]) {
      out.push_back(BootHeading(boot));
      if (only) {
        for (const auto &key : options.Sections)
          Section(boot, key, 2, out);
        continue;
      }
      std::vector<std::string> keys = Order(boot);
      for (const auto &key : keys) {
        const SectionView *v = FindSectionView(key);
        if (v && v->Story)
          Section(boot, key, options.Verbosity, out);
      }
      for (const auto &line : SummaryLines(boot))
        out.push_back("  " + line);
      if (options.Verbosity >= 1) {
        for (const auto &key : keys) {
          const SectionView *v = FindSectionView(key);
          if (!v || (!v->Story && v->Level <= options.Verbosity))
            Section(boot, key, options.Verbosity, out);
        }
      }
      if (!boot["errors"].empty()) {
        out.push_back(Colour(options.Colour, "31", "  Errors"));
        for (const auto &e : boot["errors"])
          out.push_back("    " + S(e));
      }
    }
  }
  std::string text;
  for (const auto &l : out)
    text += l + "\n";
  return text;
}

bool IsSectionName(const std::string &name) {
  return FindSectionView(name) != nullptr;
}

std::string SectionNameList() {
  std::string names;
  for (const SectionView &v : SectionViews())
    names += (names.empty() ? "" : ", ") + std::string(v.Key);
  return names;
}

} // namespace sim::report
