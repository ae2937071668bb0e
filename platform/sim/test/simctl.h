// The simulated machine's test-only controls. Tests and tools include this; product code never.
#pragma once

#include "platform/sim/test/machine_ctl.h"
#include "platform/sim/test/fault_ctl.h"
#include "platform/sim/test/kernel_ctl.h"
#include "platform/sim/test/registry_ctl.h"
#include "platform/sim/test/files_ctl.h"
#include "platform/sim/test/device_ctl.h"
#include "platform/sim/test/spooler_ctl.h"
#include "platform/sim/test/window_ctl.h"
#include "platform/sim/test/restart_ctl.h"
#include "platform/sim/test/process_ctl.h"
