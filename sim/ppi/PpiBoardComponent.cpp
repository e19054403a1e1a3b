#include "sim/ppi/PpiBoardComponent.h"

#include "Platform/PpiConfirmOverrideProtocol.h"
#include "Platform/PpiSuccessHob.h"
#include "Platform/QrbSetupVariable.h"
#include "Platform/TpmPlatformVariables.h"
#include "Protocol/ResetArch.h"
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/core/Guid.h"
#include "sim/core/HobBuilder.h"
#include "sim/core/Text.h"
#include "sim/tpm/TpmComponent.h"

namespace sim {

namespace {

bool gOverrideDecision = false;

UINTN EFIAPI GetDecision() {
  return gOverrideDecision ? 1 : 0;
}

PpiConfirmOverrideProtocol gOverride = {GetDecision};

constexpr uint8_t kLastOperation = 22;

} // namespace

void PpiBoardComponent::Configure(ConfigSection &section) {
  RegisterGuidName(gPpiConfirmOverrideProtocolGuid, "PpiConfirmOverrideProtocol");
  RegisterGuidName(gEfiResetArchProtocolGuid, "gEfiResetArchProtocolGuid");
  if (const json *decision = section.Raw("override"); decision != nullptr && !decision->is_null()) {
    if (!decision->is_boolean())
      section.Fail("override", "expected true, false or null");
    override_ = decision->get<bool>();
  }
  overridePhase_ = section.String("override_phase", overridePhase_);
  resetArchPhase_ = section.String("reset_arch_phase", resetArchPhase_);
  ConfigSection &qrb = section.Object("qrb_setup");
  if (qrb.Bool("present", true))
    qrbSize_ = qrb.Integer("size", 181, 1, 4096);
  else
    qrbSize_.reset();
  qrbLastByte_ = uint8_t(qrb.Integer("last_byte", 0, 0, 255));
  carryOut_ = section.Bool("carry_out", true);
}

void PpiBoardComponent::AttachPhases(BootSequence &sequence) {
  sequence.Attach("early", "ppi", [this](Board &board) {
    if (carryOut_)
      CarryOutRecordedOperation(board);
  });
  sequence.Attach(overridePhase_, "ppi", [this](Board &board) {
    if (!override_)
      return;
    gOverrideDecision = *override_;
    EFI_HANDLE handle = nullptr;
    board.BootServices()->InstallProtocolInterface(&handle, &gPpiConfirmOverrideProtocolGuid,
                                                   EFI_NATIVE_INTERFACE, &gOverride);
  });
  if (resetArchPhase_ != "none")
    sequence.Attach(resetArchPhase_, "ppi", [](Board &board) {
      board.SetResetReturns(false);
      EFI_HANDLE handle = nullptr;
      board.BootServices()->InstallProtocolInterface(&handle, &gEfiResetArchProtocolGuid,
                                                     EFI_NATIVE_INTERFACE, nullptr);
    });
}

void PpiBoardComponent::PowerOn(Board &board) {
  execution_.reset();
  // Until the Reset Architectural Protocol is there, ResetSystem returns.
  board.SetResetReturns(true);
  const std::u16string name = kQrbSetupVariableName;
  if (qrbSize_) {
    std::vector<uint8_t> bytes(*qrbSize_, 0);
    bytes.back() = qrbLastByte_;
    board.Variables().Put({name, gQrbSetupVariableGuid, kTpmPlatformVariableAttributes, bytes});
  } else {
    board.Variables().Erase(name, gQrbSetupVariableGuid);
  }
}

void PpiBoardComponent::CarryOutRecordedOperation(Board &board) {
  if (board.Cmos().Get(kCmosPpiFlagRegister) != 1)
    return;
  const auto *tcg = board.Variables().Find(kTcgStateVariableName, gTcgStateVariableGuid);
  const auto *request = board.Variables().Find(kPpiRequestVariableName, gPpiRequestVariableGuid);
  if (tcg == nullptr || tcg->Data.size() < 3 || tcg->Data[2] != 1 || request == nullptr ||
      request->Data.size() < 5)
    return;

  Execution execution;
  execution.Operation = request->Data[0];
  if (execution.Operation <= kLastOperation) {
    auto *part = board.Find<tpm::TpmComponent>();
    tpm::Tpm12 *chip = part != nullptr && part->Present() ? &part->Chip() : nullptr;
    if (chip != nullptr && chip->Powered()) {
      execution.Result = CarryOutPpiOperation(*chip, execution.Operation);
      execution.Succeeded = execution.Result.TpmResult == 0;
    } else {
      execution.Result.Commands.push_back("no TPM");
    }
  }
  if (execution.Succeeded) {
    board.Hobs().AddGuid(gPpiSuccessHobGuid, {});
  } else {
    // The result the driver would record for a failed operation.
    auto bytes = request->Data;
    bytes[0] = 0;
    bytes[2] = 0xF1;
    bytes[4] = 0xFF;
    board.Variables().Put(
        {kPpiRequestVariableName, gPpiRequestVariableGuid, request->Attributes, bytes});
  }
  execution_ = execution;
}

void PpiBoardComponent::Report(Board &, BootReport &report) {
  if (!execution_)
    return;
  auto &section = report.Section("ppi_operation").Data;
  section["operation"] = execution_->Operation;
  section["succeeded"] = execution_->Succeeded;
  section["commands"] = execution_->Result.Commands;
}

std::unique_ptr<Component> MakePpiBoard() {
  return std::make_unique<PpiBoardComponent>();
}

} // namespace sim
