// The SMM story application's log: the shared one (tests/firmware_app), its
// lines tagged "[smm-test] ".
#pragma once
#include "tests/firmware_app/Log.h"

namespace SmmStory {
using namespace FirmwareApp;
} // namespace SmmStory
