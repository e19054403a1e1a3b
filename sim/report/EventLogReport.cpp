// The report's "TCG event log" section: every record of this boot's log with
// its PCR, event type name and a readable description of its data, then the
// PCRs 0 to 7 its replay gives (the TPM section shows the values read back).
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/report/EventDescription.h"
#include "sim/report/Report.h"
#include "sim/tpm/TpmComponent.h"

#include <cstdio>
#include <optional>

namespace sim {
namespace {

class EventLogReport : public Component {
public:
  std::string_view Name() const override { return "event_log"; }

  void Report(Board &board, BootReport &report) override {
    auto *tpm = board.Find<tpm::TpmComponent>();
    if (!tpm || !tpm->Tcg())
      return;
    const tcg::EventLog &log = tpm->Tcg()->Log();
    auto &section = report.Section("event_log", "TCG event log");
    auto &records = section.Data["records"];
    records = nlohmann::json::array();
    unsigned index = 0;
    for (const auto &r : log.Records()) {
      const std::string type = report::EventTypeName(r.Type);
      const std::string description = report::DescribeEvent(r.Type, r.Data);
      char head[64];
      std::snprintf(head, sizeof head, "%3u  PCR %u  %-30s ", index++, r.Pcr, type.c_str());
      section.Lines.push_back(head + description);
      records.push_back({{"pcr", r.Pcr},
                         {"type", type},
                         {"digest", report::Hex(r.Digest)},
                         {"size", r.Data.size()},
                         {"description", description}});
    }
    if (log.Records().empty())
      section.Lines.push_back("(no records)");
    auto replay = log.Replay();
    auto &pcrs = section.Data["replayed_pcrs"];
    for (uint32_t pcr = 0; pcr < 8; ++pcr) {
      auto it = replay.find(pcr);
      tcg::Digest d = it == replay.end() ? tcg::Digest{} : it->second;
      pcrs[std::to_string(pcr)] = report::Hex(d);
      std::optional<tcg::Digest> fromTpm;
      try {
        fromTpm = tpm->Tcg()->ReadPcr(pcr);
      } catch (const std::exception &) {
        // A deactivated TPM refuses PCR reads: nothing to compare against.
      }
      const bool same = fromTpm && *fromTpm == d;
      section.Lines.push_back("replayed PCR " + std::to_string(pcr) + " " + report::Hex(d) +
                              (!fromTpm ? "  (TPM not readable)"
                               : same   ? "  (= TPM)"
                                        : "  (TPM DIFFERS)"));
      if (fromTpm && !same)
        report.AddError("event log replay of PCR " + std::to_string(pcr) + " differs from the TPM");
    }
  }
};

} // namespace

std::unique_ptr<Component> MakeEventLogReport() {
  return std::make_unique<EventLogReport>();
}

} // namespace sim
