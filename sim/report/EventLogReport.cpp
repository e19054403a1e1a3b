// The report's "TCG event log" section: every record of this boot's log with
// its PCR, event type name and a readable description of its data, then the
// PCRs 0 to 7 its replay gives (the TPM section shows the values read back).
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/core/Text.h"
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
    auto &section = report.Section("event_log").Data;
    auto &records = section["records"];
    records = nlohmann::json::array();
    for (const auto &r : log.Records())
      records.push_back({{"pcr", r.Pcr},
                         {"type", report::EventTypeName(r.Type)},
                         {"digest", ToHex(r.Digest)},
                         {"size", r.Data.size()},
                         {"description", report::DescribeEvent(r.Type, r.Data)}});
    auto replay = log.Replay();
    auto &pcrs = section["replayed_pcrs"];
    auto &compared = section["compared_with_tpm"];
    for (uint32_t pcr = 0; pcr < 8; ++pcr) {
      auto it = replay.find(pcr);
      tcg::Digest d = it == replay.end() ? tcg::Digest{} : it->second;
      pcrs[std::to_string(pcr)] = ToHex(d);
      std::optional<tcg::Digest> fromTpm;
      try {
        fromTpm = tpm->Tcg()->ReadPcr(pcr);
      } catch (const std::exception &) {
        // A deactivated TPM refuses PCR reads: nothing to compare against.
      }
      const bool same = fromTpm && *fromTpm == d;
      compared[std::to_string(pcr)] = !fromTpm ? "not readable" : same ? "same" : "differs";
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
