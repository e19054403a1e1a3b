// The board the tests and fuzz targets run on: a board file (the reference
// board with JSON merge patches, unless a test writes its own) in a fresh
// state directory that goes away with the fixture, and what a test reads back
// from a boot (variables, the event log, the TPM commands).
#pragma once
#include "sim/board/Board.h"
#include "sim/board/BoardConfig.h"
#include "sim/core/Errors.h"
#include "sim/tcg/TcgProtocol.h"
#include "sim/tpm/TpmComponent.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace testboard {

using Bytes = std::vector<uint8_t>;
using nlohmann::json;

// A new empty directory under the temporary directory, unique across
// processes; `prefix` says whose it is.
inline std::filesystem::path FreshStateDirectory(const std::string &prefix = "board-test") {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr)
    throw sim::SimulationError("cannot create a state directory from " + pattern);
  return pattern;
}

// The reference board file with `patches` merged in, in order.
inline json ReferenceWith(std::initializer_list<json> patches = {}) {
  json document = json::parse(sim::kReferenceBoardJson);
  for (const json &patch : patches)
    document.merge_patch(patch);
  return document;
}

class TestBoard {
public:
  // The reference board with `patch`, in a fresh state directory removed
  // with the fixture.
  explicit TestBoard(const json &patch = json::object())
      : TestBoard(ReferenceWith({patch}), FreshStateDirectory(), true) {}
  // The board file `document` on `dir`; `owned`: the directory goes away with
  // the fixture (false: the next power cycle of a directory another board
  // committed, which stays).
  TestBoard(const json &document, std::filesystem::path dir, bool owned,
            const std::string &name = "test")
      : dir_(std::move(dir)), owned_(owned) {
    board_ = std::make_unique<sim::Board>(sim::BoardConfig::FromText(document.dump(), name), dir_);
  }
  ~TestBoard() {
    board_.reset();
    std::error_code ignored;
    if (owned_)
      std::filesystem::remove_all(dir_, ignored);
  }
  TestBoard(const TestBoard &) = delete;
  TestBoard &operator=(const TestBoard &) = delete;

  sim::Board &operator*() { return *board_; }
  sim::Board *operator->() { return board_.get(); }
  sim::Board &Board() { return *board_; }
  const std::filesystem::path &StateDir() const { return dir_; }
  std::string Directory() const { return dir_.string(); }

  // The board's part of type T (a component); throws when it has none.
  template <class T> T &Part() const {
    if (T *part = board_->Find<T>())
      return *part;
    throw sim::SimulationError("the test board lacks a part the test needs");
  }

  // A variable's bytes as the store holds them.
  std::optional<Bytes> Var(const CHAR16 *name, const EFI_GUID &guid) const {
    const auto *v = board_->Variables().Find(name, guid);
    return v ? std::optional(v->Data) : std::nullopt;
  }
  // The same, empty when absent.
  Bytes Variable(std::u16string_view name, const EFI_GUID &guid) const {
    const auto *v = board_->Variables().Find(name, guid);
    return v ? v->Data : Bytes{};
  }

  // This boot's TCG protocol (the board's TPM component).
  sim::tcg::TcgProtocol &Tcg() {
    sim::tcg::TcgProtocol *tcg = Part<sim::tpm::TpmComponent>().Tcg();
    if (tcg == nullptr)
      throw sim::SimulationError("the board has no TCG protocol");
    return *tcg;
  }
  const std::vector<sim::tcg::EventRecord> &Records() { return Tcg().Log().Records(); }
  // Ordinals of the TPM commands sent through PassThroughToTpm, in order.
  std::vector<uint32_t> Ordinals() {
    std::vector<uint32_t> out;
    for (const auto &e : Tcg().Exchanges())
      if (e.Request.size() >= 10)
        out.push_back(uint32_t(e.Request[6]) << 24 | uint32_t(e.Request[7]) << 16 |
                      uint32_t(e.Request[8]) << 8 | e.Request[9]);
    return out;
  }

private:
  std::filesystem::path dir_;
  bool owned_;
  std::unique_ptr<sim::Board> board_;
};

} // namespace testboard
