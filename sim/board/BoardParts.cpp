#include "sim/board/BoardParts.h"

#include "sim/board/Board.h"
#include "sim/board/ByteMap.h"
#include "sim/core/Errors.h"
#include "sim/core/Guid.h"
#include "sim/core/Pool.h"
#include "sim/core/StateStore.h"
#include "sim/core/Text.h"

namespace sim {

namespace {
constexpr const char *kVariablesFile = "variables.json";
constexpr const char *kCmosFile = "cmos.bin";
} // namespace

// ---- Variables -----------------------------------------------------------------

void BoardVariables::Configure(ConfigSection &section) {
  size_t capacity = section.Integer("capacity", 64 * 1024, 1024, 64ull << 20);
  store_ = VariableStore(capacity);
  for (ConfigSection *v : section.Objects("initial")) {
    VariableStore::Variable var;
    var.Name = ToUtf16(v->String("name", ""));
    if (var.Name.empty())
      v->Fail("name", "every variable needs a name");
    var.Guid = v->Guid("guid", gEfiGlobalVariableGuid);
    var.Attributes = UINT32(v->Integer("attributes", 7, 1, 7));
    if (v->Has("data") && v->Has("size"))
      v->Fail("size", "give either data or size, not both");
    var.Data = v->Bytes("data", {});
    if (v->Has("size"))
      var.Data.assign(v->Integer("size", 0, 0, 0x10000), 0);
    for (auto [offset, value] :
         ReadByteMap(*v, "set", var.Data.size(),
                     "the variable's " + std::to_string(var.Data.size()) + " bytes"))
      var.Data[offset] = value;
    initial_.push_back(std::move(var));
  }
}

void BoardVariables::LoadState(const StateStore &state) {
  if (auto bytes = state.Load(kVariablesFile)) {
    try {
      store_.LoadNonVolatile(*bytes, (state.CommittedFolder() / kVariablesFile).string());
    } catch (const InputError &) {
      throw;
    } catch (const SimulationError &e) {
      throw InputError(e.what());
    }
    return;
  }
  for (const auto &v : initial_)
    store_.Put(v);
}

void BoardVariables::SaveState(StateStore &state) {
  state.Stage(kVariablesFile, store_.SerializeNonVolatile());
}

// ---- CMOS ----------------------------------------------------------------------

void BoardCmos::Configure(ConfigSection &section) {
  initial_ = ReadByteMap(section, "initial", CmosRam::kSize, "the CMOS registers 0..127");
}

void BoardCmos::LoadState(const StateStore &state) {
  if (auto bytes = state.Load(kCmosFile)) {
    try {
      ram_.Load(*bytes, (state.CommittedFolder() / kCmosFile).string());
    } catch (const InputError &) {
      throw;
    } catch (const SimulationError &e) {
      throw InputError(e.what());
    }
    return;
  }
  for (auto [reg, value] : initial_)
    ram_.Set(uint8_t(reg), value);
}

void BoardCmos::SaveState(StateStore &state) {
  state.Stage(kCmosFile, ram_.Serialize());
}

void BoardCmos::PowerOn(Board &board) {
  ram_.Attach(board.Io());
}

// ---- Memory --------------------------------------------------------------------

void BoardMemory::Configure(ConfigSection &section) {
  for (ConfigSection *r : section.Objects("regions")) {
    Region region;
    region.Name = r->String("name", "");
    if (region.Name.empty())
      r->Fail("name", "every memory region needs a name");
    region.Base = r->Integer("base", 0, 0, 0xFFFFFFFFull);
    region.Size = r->Integer("size", 0, 1, 0x40000000ull);
    if (region.Base + region.Size > 0x100000000ull)
      r->Fail("size", "the region must end below 4 GiB");
    if (region.Base < PoolAllocator::kWindowBase + PoolAllocator::kWindowSize &&
        PoolAllocator::kWindowBase < region.Base + region.Size)
      r->Fail("base", "the region overlaps the pool's window " +
                          HexNumber(PoolAllocator::kWindowBase) + ".." +
                          HexNumber(PoolAllocator::kWindowBase + PoolAllocator::kWindowSize - 1));
    regions_.push_back(region);
  }
  if (!section.Has("regions"))
    regions_ = {{"low", 0x7E000000, 0x01000000}};
}

void BoardMemory::PowerOn(Board &board) {
  for (const auto &r : regions_)
    board.Memory().AddMemory(r.Name, r.Base, r.Size);
}

} // namespace sim
