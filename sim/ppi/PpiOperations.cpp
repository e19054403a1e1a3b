#include "sim/ppi/PpiOperations.h"

#include "sim/core/Text.h"
#include "sim/tpm/Tpm12.h"

#include <memory>

namespace sim {

namespace {

enum class Step {
  Enable,
  Disable,
  Activate,
  Deactivate,
  Clear,
  OwnerInstallTrue,
  OwnerInstallFalse
};

// In the order of the operation's name: "Clear + Enable + Activate" clears
// first.
std::vector<Step> Steps(uint8_t operation) {
  switch (operation) {
  case 1:
    return {Step::Enable};
  case 2:
    return {Step::Disable};
  case 3:
    return {Step::Activate};
  case 4:
    return {Step::Deactivate};
  case 5:
    return {Step::Clear};
  case 6:
    return {Step::Enable, Step::Activate};
  case 7:
    return {Step::Deactivate, Step::Disable};
  case 8:
    return {Step::OwnerInstallTrue};
  case 9:
    return {Step::OwnerInstallFalse};
  case 10:
    return {Step::Enable, Step::Activate, Step::OwnerInstallTrue};
  case 11:
    return {Step::OwnerInstallFalse, Step::Deactivate, Step::Disable};
  case 14:
    return {Step::Clear, Step::Enable, Step::Activate};
  case 21:
    return {Step::Enable, Step::Activate, Step::Clear};
  case 22:
    return {Step::Enable, Step::Activate, Step::Clear, Step::Enable, Step::Activate};
  default:
    return {};
  }
}

const char *StepName(Step step) {
  switch (step) {
  case Step::Enable:
    return "TPM_PhysicalEnable";
  case Step::Disable:
    return "TPM_PhysicalDisable";
  case Step::Activate:
    return "TPM_PhysicalSetDeactivated(FALSE)";
  case Step::Deactivate:
    return "TPM_PhysicalSetDeactivated(TRUE)";
  case Step::Clear:
    return "TPM_ForceClear";
  case Step::OwnerInstallTrue:
    return "TPM_SetOwnerInstall(TRUE)";
  case Step::OwnerInstallFalse:
    return "TPM_SetOwnerInstall(FALSE)";
  }
  return "?";
}

uint32_t Send(tpm::Tpm12 &tpm, Step step) {
  switch (step) {
  case Step::Enable:
    return tpm.PhysicalEnable();
  case Step::Disable:
    return tpm.PhysicalDisable();
  case Step::Activate:
    return tpm.PhysicalSetDeactivated(false);
  case Step::Deactivate:
    return tpm.PhysicalSetDeactivated(true);
  case Step::Clear:
    return tpm.ForceClear();
  case Step::OwnerInstallTrue:
    return tpm.SetOwnerInstall(true);
  case Step::OwnerInstallFalse:
    return tpm.SetOwnerInstall(false);
  }
  return 0xFFFFFFFF;
}

} // namespace

std::vector<std::string> PpiOperationCommands(uint8_t operation) {
  std::vector<std::string> names;
  for (Step step : Steps(operation))
    names.push_back(StepName(step));
  return names;
}

PpiOperationResult CarryOutPpiOperation(tpm::Tpm12 &tpm, uint8_t operation) {
  PpiOperationResult result;
  const auto steps = Steps(operation);
  if (steps.empty())
    return result;
  constexpr uint32_t kTpmDeactivated = 0x06;
  constexpr uint32_t kTpmDisabled = 0x07;
  try {
    auto presence = std::make_unique<tpm::Tpm12::PhysicalPresenceSession>(tpm);
    bool turnedOn = false; // enabled or activated in this run
    bool restarted = false;
    for (Step step : steps) {
      uint32_t code = Send(tpm, step);
      // Enabling and activating take full effect at the next TPM_Startup:
      // the phase restarts the TPM once (as the platform reset would) and
      // sends the command again.
      if ((code == kTpmDeactivated || code == kTpmDisabled) && turnedOn && !restarted) {
        result.Commands.push_back(std::string(StepName(step)) + ": " + HexNumber(code) +
                                  ", TPM restarted");
        presence.reset();
        tpm.PowerOff();
        tpm.PowerOn();
        result.Commands.push_back("TPM_Startup(ST_CLEAR): " + HexNumber(tpm.Startup()));
        presence = std::make_unique<tpm::Tpm12::PhysicalPresenceSession>(tpm);
        restarted = true;
        code = Send(tpm, step);
      }
      result.Commands.push_back(std::string(StepName(step)) + ": " + HexNumber(code));
      if (code != 0) {
        result.TpmResult = code;
        break;
      }
      turnedOn = turnedOn || step == Step::Enable || step == Step::Activate;
    }
  } catch (const tpm::TpmError &error) {
    result.Commands.push_back(std::string("physical presence: ") + error.what());
    result.TpmResult = error.Code() != 0 ? error.Code() : 0xFFFFFFFF;
  }
  return result;
}

} // namespace sim
