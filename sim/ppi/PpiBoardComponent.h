// The board's physical-presence parts (board-file section "ppi"):
//
//   "ppi": {
//     "override": null,                  true/false: PpiConfirmOverrideProtocol's decision
//     "override_phase": "board-protocols",
//     "reset_arch_phase": "dxe-ready",   the Reset Architectural Protocol arrives here;
//                                        ResetSystem returns before it ("none": never)
//     "qrb_setup": {"present": true, "size": 181, "last_byte": 0},
//                                        "ZELQRBSetup" as every power-on finds it
//     "carry_out": true                  the earlier boot phase carries out a recorded
//                                        operation on the TPM
//   }
//
// The earlier boot phase ("early", after TPM_Startup): when CMOS 0x6F is 1 and
// "TCG" byte 2 is 1, the operation in "ZELTCGPPIVAR" byte 0 is carried out on
// the TPM under physical presence. Success adds PpiSuccessHob; a failing TPM
// command or an unknown operation code records result 0xFFF1 itself.
#pragma once
#include "sim/board/Component.h"
#include "sim/ppi/PpiOperations.h"

#include <optional>
#include <string>

namespace sim {

class PpiBoardComponent : public Component {
public:
  struct Execution {
    uint8_t Operation = 0;
    bool Succeeded = false;
    PpiOperationResult Result;
  };

  std::string_view Name() const override { return "ppi"; }
  void Configure(ConfigSection &section) override;
  void AttachPhases(BootSequence &sequence) override;
  void PowerOn(Board &board) override;
  void Report(Board &board, BootReport &report) override;

  // What the earlier boot phase did in this boot (nullopt: nothing recorded).
  const std::optional<Execution> &LastExecution() const { return execution_; }
  void SetOverride(std::optional<bool> decision) { override_ = decision; }

private:
  void CarryOutRecordedOperation(Board &board);

  std::optional<bool> override_;
  std::string overridePhase_ = "board-protocols";
  std::string resetArchPhase_ = "dxe-ready";
  std::optional<size_t> qrbSize_ = 181;
  uint8_t qrbLastByte_ = 0;
  bool carryOut_ = true;
  std::optional<Execution> execution_;
};

} // namespace sim
