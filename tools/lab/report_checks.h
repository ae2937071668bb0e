// explain's checks of what only the field collector's report shows: the maker's files, what
// wininit.ini will do to them at the next restart, and what the spooler lists.
#pragma once

#include "tools/lab/collector_report.h"
#include "tools/lab/problem.h"

#include <string>
#include <vector>

namespace lab {

// On the machine the report's registry was imported into (its wininit.ini is put there for the
// one RENAME reader): needed files that the next restart deletes or that are missing or of
// another release, queued helper copies that are gone, instances of vtxpmo01.dll the spooler did
// not load, and printers on "USB/" ports the spooler does not list.
void CheckReport(const CollectorReport& report, const std::vector<std::string>& ourInstances,
                 Problems* problems);

} // namespace lab
