// The UEFI variable store: name + GUID keys, attributes, sizing, deletion,
// enumeration. Non-volatile variables survive a reset (the board keeps them
// in its state directory); volatile ones are dropped at every power-on.
#pragma once
#include "Uefi/UefiSpec.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class VariableStore {
public:
  struct Variable {
    std::u16string Name;
    EFI_GUID Guid;
    UINT32 Attributes;
    std::vector<uint8_t> Data;
  };
  // One successful SetVariable (writes that change nothing included).
  struct Write {
    std::u16string Name;
    EFI_GUID Guid;
    UINT32 Attributes;
    std::optional<std::vector<uint8_t>> Before; // absent: the variable was created
    std::optional<std::vector<uint8_t>> After;  // absent: the variable was deleted
    std::string Phase;
  };

  // Bytes of name, GUID, attributes and data the store holds at most.
  explicit VariableStore(size_t capacity = 64 * 1024) : capacity_(capacity) {}

  EFI_STATUS Get(const CHAR16 *name, const EFI_GUID *guid, UINT32 *attributes, UINTN *dataSize,
                 VOID *data) const;
  EFI_STATUS GetNextName(UINTN *nameSize, CHAR16 *name, EFI_GUID *guid) const;
  EFI_STATUS Set(const CHAR16 *name, const EFI_GUID *guid, UINT32 attributes, UINTN dataSize,
                 const VOID *data);
  EFI_STATUS QueryInfo(UINT32 attributes, UINT64 *maximumStorage, UINT64 *remainingStorage,
                       UINT64 *maximumVariableSize) const;

  // Board side: no checks, no write log.
  const Variable *Find(std::u16string_view name, const EFI_GUID &guid) const;
  void Put(Variable variable);
  bool Erase(std::u16string_view name, const EFI_GUID &guid);
  const std::vector<Variable> &All() const { return variables_; }
  void DropVolatile();
  // After ExitBootServices only runtime-access variables are visible.
  void SetRuntime(bool runtime) { runtime_ = runtime; }

  const std::vector<Write> &Writes() const { return writes_; }
  void ClearWrites() { writes_.clear(); }
  void SetPhase(std::string phase) { phase_ = std::move(phase); }

  // State file: the non-volatile variables as JSON (readable, diffable).
  std::vector<uint8_t> SerializeNonVolatile() const;
  // Replaces the whole store; throws SimulationError naming `origin` on bad input.
  void LoadNonVolatile(const std::vector<uint8_t> &bytes, const std::string &origin);

  static size_t Footprint(const Variable &variable);

private:
  Variable *FindMutable(std::u16string_view name, const EFI_GUID &guid);
  bool Visible(const Variable &variable) const;
  size_t Used() const;

  std::vector<Variable> variables_; // creation order: GetNextVariableName's order
  std::vector<Write> writes_;
  size_t capacity_;
  bool runtime_ = false;
  std::string phase_;
};

} // namespace sim
