// A customer's registry, from a whole export or the field collector's report, on a machine of
// explain's own that goes at the end: the monitor and the helper run on it as on the customer's.
#pragma once

#include "tools/lab/collector_report.h"
#include "tools/lab/temp_dir.h"

#include "platform/sim/control/registry_ctl.h"

#include <filesystem>
#include <optional>

namespace lab {

// The current machine while it lives; gone with everything on it at the end.
class ThrowAwayMachine {
  public:
    ThrowAwayMachine();

  private:
    TemporaryDir dir_;
};

// The file is a whole registry export, or the field collector's report, whose registry section is
// one; else LabError with exit code 3. Merged into the current machine; where each key and value
// stands in the file is returned, the report kept when it is one.
vtxsim::RegistryPlaces ImportTheExport(const std::filesystem::path& file,
                                       std::optional<CollectorReport>* report);

} // namespace lab
