// The actions platsim runs on a booted board, parsed from the words after the
// command name: platsim press / smi run one after a boot, a scenario runs any
// number in one run. Each publishes its result as the report section Key.
#pragma once
#include "tools/platsim/Commands.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <string>

namespace platsim {

struct StoryAction {
  std::string Key; // "button_press", "smi_request"
  std::function<void(sim::Board &, nlohmann::json &)> Run;
};

// press BUTTON [--hold N] [--legacy]
StoryAction ParsePress(Args words);
// smi button-info|set-button|enable-button|restore-button|action-mode|brightness|raw ...
StoryAction ParseSmi(Args words);

} // namespace platsim
