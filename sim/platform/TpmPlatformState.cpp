#include "sim/platform/TpmPlatformState.h"
#include "Platform/PpiSuccessHob.h"
#include "Platform/SetupData.h"
#include "Platform/TpmPlatformStateProtocol.h"
#include "Platform/TpmPlatformVariables.h"
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/core/Errors.h"
#include "sim/core/Guid.h"
#include "sim/core/HandleDatabase.h"
#include "sim/core/HobBuilder.h"
#include "sim/core/Text.h"

namespace sim {

void TpmPlatformStateComponent::Configure(ConfigSection &section) {
  present_ = section.Bool("present", true);
  firstByte_ = uint8_t(section.Integer("first_byte", 0, 0, 0xFF));
  record_ = section.Bytes("record", {});
  if (record_.size() > kRecordSize)
    section.Fail("record", "at most " + std::to_string(kRecordSize) + " bytes");
  record_.resize(kRecordSize, 0);
  successHob_ = section.Choice("ppi_success_hob", "none", {"none", "first", "second", "both"});
  hobLists_ = unsigned(section.Integer("hob_lists", 1, 1, 2));
  if ((successHob_ == "second" || successHob_ == "both") && hobLists_ < 2)
    hobLists_ = 2;
  RegisterGuidName(gTpmPlatformStateProtocolGuid, "TpmPlatformStateProtocol");
  RegisterGuidName(gPpiSuccessHobGuid, "PpiSuccessHob");
}

void TpmPlatformStateComponent::PowerOn(Board &board) {
  const VariableStore::Variable *setup =
      board.Variables().Find(kSetupVariableName, gSetupVariableGuid);
  setupAtPowerOn_ = setup ? std::optional(setup->Data) : std::nullopt;
}

void TpmPlatformStateComponent::AttachPhases(BootSequence &sequence) {
  sequence.Attach("early", "tpm_platform_state", [this](Board &board) {
    static const uint8_t kNoData[1] = {0};
    if (hobLists_ >= 2) {
      HobBuilder &second = board.AddHobList();
      if (successHob_ == "second" || successHob_ == "both")
        second.AddGuid(gPpiSuccessHobGuid, std::span(kNoData, 0));
    }
    if (successHob_ == "first" || successHob_ == "both")
      board.Hobs().AddGuid(gPpiSuccessHobGuid, std::span(kNoData, 0));
  });
  sequence.Attach("board-protocols", "tpm_platform_state", [this](Board &board) {
    if (!present_)
      return;
    interface_.assign(1, firstByte_);
    interface_.insert(interface_.end(), record_.begin(), record_.end());
    EFI_HANDLE handle = nullptr;
    if (EFI_ERROR(board.Handles().Install(&handle, &gTpmPlatformStateProtocolGuid,
                                          EFI_NATIVE_INTERFACE, interface_.data())))
      throw SimulationError("the board cannot install TpmPlatformStateProtocol");
  });
}

void TpmPlatformStateComponent::Report(Board &board, BootReport &report) {
  nlohmann::json &section = report.Section("tpm_platform_state").Data;
  // The bytes, and what they say when the variable has its full size.
  auto variable = [&](const CHAR16 *name, const EFI_GUID &guid, size_t size,
                      nlohmann::json (*decode)(const std::vector<uint8_t> &)) {
    const VariableStore::Variable *v = board.Variables().Find(name, guid);
    section[ToUtf8(name)] = v ? nlohmann::json(ToHex(v->Data)) : nlohmann::json();
    if (v && v->Data.size() == size)
      section[ToUtf8(name) + "_fields"] = decode(v->Data);
  };
  variable(
      kPpiRequestVariableName, gPpiRequestVariableGuid, sizeof(PpiRequestVariable),
      [](const std::vector<uint8_t> &b) -> nlohmann::json {
        return {{"request", b[0]}, {"last_operation", b[1]}, {"last_result", b[2] | b[4] << 8}};
      });
  variable(kTcgStateVariableName, gTcgStateVariableGuid, sizeof(TcgStateVariable),
           [](const std::vector<uint8_t> &b) -> nlohmann::json {
             return {{"manufacturing_state", b[1] != 0},
                     {"operation_handed_over", b[2]},
                     {"confirmation_mode", b[4]}};
           });
  section["cmos_6f"] = board.Cmos().Get(kCmosPpiFlagRegister);

  const VariableStore::Variable *setup =
      board.Variables().Find(kSetupVariableName, gSetupVariableGuid);
  auto &changes = section["setup_changes"];
  changes = nlohmann::json::array();
  if (setup && setupAtPowerOn_) {
    const auto &before = *setupAtPowerOn_;
    const auto &after = setup->Data;
    for (size_t i = 0; i < std::max(before.size(), after.size()); ++i) {
      int b = i < before.size() ? before[i] : -1, a = i < after.size() ? after[i] : -1;
      if (a != b)
        changes.push_back({{"offset", i}, {"before", b}, {"after", a}});
    }
  }
}

std::unique_ptr<Component> MakeTpmPlatformState() {
  return std::make_unique<TpmPlatformStateComponent>();
}

} // namespace sim
