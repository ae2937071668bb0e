// A printer's removal: the device goes away and the helper runs with "-action=64"; and the same
// on a copy of the machine, which shows what a removal would do and changes nothing.
#pragma once

#include "tools/lab/leftovers.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/snapshot.h"

#include <filesystem>
#include <functional>
#include <string>

namespace lab {

// On the current machine; an unknown serial throws LabError naming the serials there are.
// Returns what changed.
Changes RemovePrinter(const std::string& serial);
// Runs step on a copy of the current machine's directory and returns what it changed there;
// report, when given, sees the changes while the copy is still the current machine. The
// machine itself is not touched.
Changes OnCopy(const std::function<void()>& step,
               const std::function<void(const Changes&)>& report = {});
// Every key and file deleted, every entry queued for the restart.
void ReportRemoval(const Changes& changes);
// After the device's removal, on the current machine: what the helper kept, and why.
std::vector<Leftover> WhatStays(const DeviceView& device);
void ReportStays(const std::vector<Leftover>& stays);
nlohmann::json StaysJson(const std::vector<Leftover>& stays);

} // namespace lab
