// What the earlier boot phase does with a physical-presence operation
// recorded before a reset: the TPM 1.2 commands of each operation code, sent
// under physical presence.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

namespace tpm {
class Tpm12;
}

struct PpiOperationResult {
  uint32_t TpmResult = 0;            // the first failing command's code, else 0
  std::vector<std::string> Commands; // "TPM_PhysicalEnable: 0x0", in order
};

// The TPM commands of an operation code (empty for codes that change no TPM
// state: 0, 12, 13, 15 to 255).
std::vector<std::string> PpiOperationCommands(uint8_t operation);

// Sends the operation's commands, stopping at the first failure. The TPM must
// have had its TPM_Startup.
PpiOperationResult CarryOutPpiOperation(tpm::Tpm12 &tpm, uint8_t operation);

} // namespace sim
