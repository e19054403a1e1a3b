// The firmware test application's log: the shared one (tests/firmware_app),
// its lines tagged "[fw-test] ".
#pragma once
#include "tests/firmware_app/Log.h"

namespace FirmwareTest {
using namespace FirmwareApp;
} // namespace FirmwareTest
