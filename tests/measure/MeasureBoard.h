// Boards for the measurement tests: the reference board with a JSON merge
// patch applied, in a fresh state directory that goes away with the fixture,
// and what a test reads back from a boot (the event log, PCRs, TPM commands).
#pragma once
#include "sim/board/Board.h"
#include "sim/board/BoardConfig.h"
#include "sim/tcg/TcgProtocol.h"

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace measure_test {

class TestBoard {
public:
  explicit TestBoard(const nlohmann::json &patch = nlohmann::json::object());
  ~TestBoard();
  TestBoard(const TestBoard &) = delete;
  TestBoard &operator=(const TestBoard &) = delete;

  sim::Board &operator*() { return *board_; }
  sim::Board *operator->() { return board_.get(); }

  // This boot's TCG protocol (the board's TPM component).
  sim::tcg::TcgProtocol &Tcg();
  const std::vector<sim::tcg::EventRecord> &Records() { return Tcg().Log().Records(); }
  // Ordinals of the TPM commands sent through PassThroughToTpm, in order.
  std::vector<uint32_t> Ordinals();
  // Bytes of a variable as the store holds it (empty when absent).
  std::vector<uint8_t> Variable(std::u16string_view name, const EFI_GUID &guid);
  const std::string &Directory() const { return dir_; }

private:
  std::string dir_;
  std::unique_ptr<sim::Board> board_;
};

// The patch every measurement test starts from: the TCG core calls the three
// measurement hooks, "Setup" asks for Secure Boot measurements, a PCI bus
// with ROMs of every kind, three firmware volumes.
nlohmann::json MeasurementBoard();

} // namespace measure_test
