// The simulated machine's controls, for tests, vtxlab, benches and fuzzers; product code never.
#pragma once

#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/kernel_ctl.h"
#include "platform/sim/control/registry_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/device_ctl.h"
#include "platform/sim/control/spooler_ctl.h"
#include "platform/sim/control/window_ctl.h"
#include "platform/sim/control/restart_ctl.h"
#include "platform/sim/control/process_ctl.h"
#include "platform/sim/control/helper_process.h"
#include "platform/sim/control/wininit_ctl.h"
#include "platform/sim/control/case_folding_ctl.h"
