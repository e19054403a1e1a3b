// A board that runs what ButtonSmm needs: power-on, the services, the board
// protocols and the ButtonSmm load (both instances), and helpers to read the
// port trace.
#pragma once
#include "common/TestBoard.h"
#include "sim/devices/ChipsetComponent.h"
#include "sim/io/AccessTrace.h"
#include "sim/smm/SmmComponent.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace smmtest {

using sim::json;

class SmmBoard : public testboard::TestBoard {
public:
  // beforeSequence runs after power-on, before the boot phases.
  explicit SmmBoard(json smm = json::object(), std::vector<std::string> faults = {},
                    std::function<void(SmmBoard &)> beforeSequence = {}, bool loadButtonSmm = true)
      : TestBoard(Document(std::move(smm), std::move(faults), loadButtonSmm),
                  testboard::FreshStateDirectory("smm-test"), true, "smm-test") {
    Board().PowerOn();
    if (beforeSequence)
      beforeSequence(*this);
    Result = Board().Run([](sim::Board &b) { b.Sequence().Run(b); });
  }

  sim::SmmComponent &Smm() { return Part<sim::SmmComponent>(); }
  sim::ChipsetComponent &Chipset() { return Part<sim::ChipsetComponent>(); }
  sim::BootResult Result;

  // The status ButtonSmm's boot-service instance returned.
  EFI_STATUS EntryStatus(size_t instance = 0) { return Board().Images().at(instance).Status; }

  // "kind:value" for every registration, in order: "sw:E0", "gpi:6".
  std::vector<std::string> Registrations() {
    std::vector<std::string> list;
    for (const auto &r : Smm().Core().Registrations()) {
      char text[16];
      if (r.Type == sim::SmiRegistration::Kind::Software)
        std::snprintf(text, sizeof text, "sw:%02llX", (unsigned long long)r.Value);
      else
        std::snprintf(text, sizeof text, "gpi:%llu", (unsigned long long)r.Value);
      list.push_back(text);
    }
    return list;
  }

  // Port accesses since the trace was last cleared, as "W1 08FF=06" / "R1 08C9=12".
  std::vector<std::string> PortAccesses(const std::string &context = {}) {
    std::vector<std::string> list;
    for (const sim::Access &a : Board().Trace().Entries()) {
      if (a.Space != sim::AccessSpace::Port || (!context.empty() && a.Context != context))
        continue;
      char text[48];
      std::snprintf(text, sizeof text, "%c%u %04llX=%0*llX",
                    a.Kind == sim::AccessKind::Read ? 'R' : 'W', a.Width,
                    (unsigned long long)a.Address, a.Width * 2, (unsigned long long)a.Value);
      list.push_back(text);
    }
    return list;
  }

private:
  // Only what ButtonSmm needs: no reference board underneath.
  static json Document(json smm, std::vector<std::string> faults, bool loadButtonSmm) {
    if (smm.is_null())
      smm = json::object();
    return {{"boot", {{"phases", {"power-on", "dxe-ready", "board-protocols", "load-button-smm"}}}},
            {"drivers",
             {{"tpm_platform", {{"load", false}}}, {"button_smm", {{"load", loadButtonSmm}}}}},
            {"faults", {{"rules", faults}}},
            {"smm", smm}};
  }
};

} // namespace smmtest
