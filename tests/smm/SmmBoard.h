// A board that runs what ButtonSmm needs: power-on, the services, the board
// protocols and the ButtonSmm load (both instances), and helpers to read the
// port trace.
#pragma once
#include "sim/board/Board.h"
#include "sim/devices/ChipsetComponent.h"
#include "sim/io/AccessTrace.h"
#include "sim/smm/SmmComponent.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace smmtest {

using sim::json;

inline std::filesystem::path FreshStateDirectory() {
  static int counter = 0;
  auto path = std::filesystem::temp_directory_path() /
              ("smm-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path);
  return path;
}

class SmmBoard {
public:
  // beforeSequence runs after power-on, before the boot phases.
  explicit SmmBoard(json smm = json::object(), std::vector<std::string> faults = {},
                    std::function<void(SmmBoard &)> beforeSequence = {},
                    bool loadButtonSmm = true) {
    if (smm.is_null())
      smm = json::object();
    json document = {
        {"boot", {{"phases", {"power-on", "dxe-ready", "board-protocols", "load-button-smm"}}}},
        {"drivers",
         {{"tpm_platform", {{"load", false}}}, {"button_smm", {{"load", loadButtonSmm}}}}},
        {"faults", {{"rules", faults}}},
        {"smm", smm}};
    state_ = FreshStateDirectory();
    board_ = std::make_unique<sim::Board>(sim::BoardConfig::FromText(document.dump(), "smm-test"),
                                          state_);
    smm_ = board_->Find<sim::SmmComponent>();
    board_->PowerOn();
    if (beforeSequence)
      beforeSequence(*this);
    Result = board_->Run([](sim::Board &b) { b.Sequence().Run(b); });
  }
  ~SmmBoard() {
    board_.reset();
    std::filesystem::remove_all(state_);
  }

  sim::Board &Board() { return *board_; }
  sim::SmmComponent &Smm() { return *smm_; }
  sim::ChipsetComponent &Chipset() { return *board_->Find<sim::ChipsetComponent>(); }
  sim::BootResult Result;

  // The status ButtonSmm's boot-service instance returned.
  EFI_STATUS EntryStatus(size_t instance = 0) const { return board_->Images().at(instance).Status; }

  // "kind:value" for every registration, in order: "sw:E0", "gpi:6".
  std::vector<std::string> Registrations() {
    std::vector<std::string> list;
    for (const auto &r : smm_->Core().Registrations()) {
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
    for (const sim::Access &a : board_->Trace().Entries()) {
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
  std::filesystem::path state_;
  std::unique_ptr<sim::Board> board_;
  sim::SmmComponent *smm_ = nullptr;
};

} // namespace smmtest
