#include "tools/lab/print_job.h"
#include "tools/lab/helper_process.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_view.h"

#include <fmt/format.h>

#include <algorithm>

namespace lab {

std::string WaitReason(bool ok, unsigned long error) {
    if (ok)
        return "busy: the printer takes no data for now";
    if (error == ERROR_OUT_OF_PAPER)
        return "out of paper";
    if (error == ERROR_NOT_READY)
        return "not ready";
    return fmt::format("error {}", error);
}

std::string StartFailureWords(unsigned long error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return "the device cannot be opened";
    case ERROR_SHARING_VIOLATION:
        return "the device is held by another job";
    case ERROR_BUSY:
        return "the port is busy";
    default:
        return WaitReason(false, error);
    }
}

void StartMonitor(vtxsim::MonitorHost& host) {
    vtxsim::SetMonitorLibraryDir(MonitorDir());
    if (!host.StartInstances() && !host.Error().empty() && host.Instances().empty())
        throw LabError(host.Error());
    bool anyCalled = std::any_of(host.Instances().begin(), host.Instances().end(),
                                 [](const vtxsim::MonitorInstance& i) { return i.called; });
    if (!host.Instances().empty() && !anyCalled)
        throw LabError("the spooler cannot load the monitor: " + host.Error());
}

JobResult RunJob(vtxsim::MonitorHost& host, const std::string& port, const std::string& printer,
                 const std::string& data, unsigned chunk, const JobHooks& hooks) {
    JobResult result;
    SetLastError(0);
    HANDLE handle = host.OpenPort(port);
    if (handle == nullptr) {
        DWORD error = GetLastError();
        // The monitor refuses a name it has no enabled entry for without an error code.
        result.failure = error == 0 ? fmt::format("OpenPort refused {}: no enabled interface "
                                                  "provides that port (is its Enabled 0?)",
                                                  port)
                                    : fmt::format("OpenPort refused {} (error {})", port, error);
        return result;
    }
    std::optional<std::string> instance = InstanceOfPort(port);
    if (!host.StartDocPort(handle, printer, 1)) {
        DWORD error = GetLastError();
        result.failure =
            fmt::format("StartDocPort failed with error {}: {}", error, StartFailureWords(error));
        if (instance && !vtxsim::IsPrinterAttached(*instance))
            result.failure += " (the printer is unplugged)";
        host.ClosePort(handle);
        return result;
    }
    while (result.sent < data.size()) {
        std::string_view piece = std::string_view(data).substr(result.sent, chunk);
        DWORD written = 0;
        SetLastError(0);
        BOOL ok = host.WritePort(handle, piece, &written);
        if (written > 0) {
            result.sent += written;
            if (hooks.onProgress)
                hooks.onProgress(result.sent, data.size());
            continue;
        }
        std::string reason = WaitReason(ok != FALSE, GetLastError());
        if (instance && !vtxsim::IsPrinterAttached(*instance)) {
            result.failure = fmt::format("the printer was unplugged during the job ({}); {} of {} "
                                         "bytes reached it",
                                         reason, result.sent, data.size());
            break;
        }
        if (std::string why = hooks.giveUp ? hooks.giveUp() : ""; !why.empty()) {
            result.failure = fmt::format("{}; the monitor's reason: {}; {} of {} bytes reached it",
                                         why, reason, result.sent, data.size());
            break;
        }
        if (hooks.onWait)
            hooks.onWait(reason);
    }
    host.EndDocPort(handle);
    host.ClosePort(handle);
    result.done = result.failure.empty();
    return result;
}

} // namespace lab
