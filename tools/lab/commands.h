// The lab's commands, each a step a person takes on a machine directory that lasts between
// commands. Each returns the process exit code; what the user got wrong throws LabError.
#pragma once

#include "platform/sim/control/kernel_ctl.h"

#include <filesystem>
#include <optional>
#include <string>

namespace lab {

struct NewOptions {
    std::filesystem::path machine;
    sim::WindowsVersion version = sim::WindowsVersion::Win98;
    bool shell = true;
    std::filesystem::path from; // a REGEDIT4 file to start from; empty for none
    bool force = false;
    bool sortedOrder = false; // the registry enumerates in sorted order, not creation order
};
int RunNew(const NewOptions& options);

struct AttachOptions {
    std::filesystem::path machine;
    std::string model;
    std::string serial;
    std::string productId; // empty: the model's own
    bool json = false;
};
int RunAttach(const AttachOptions& options);

int RunPorts(const std::filesystem::path& machine, unsigned level, bool json);

struct PrintOptions {
    std::filesystem::path machine;
    std::string port;
    std::filesystem::path file;
    unsigned chunk = 4096;
    std::string printer; // the spooler printer's name for StartDocPort; empty: the port's
    double timeout = 60; // seconds the printer may take nothing before the job ends; 0: no end
    bool verify = false; // compare what the printer received with the file
    bool json = false;
};
int RunPrint(const PrintOptions& options);

struct DeviceOptions {
    std::filesystem::path machine;
    std::string serial;
    std::optional<std::string> paper; // "out" or "in"
    bool offline = false, online = false, unplug = false, plug = false;
    std::optional<std::uint64_t> stall;
};
int RunDevice(const DeviceOptions& options);

int RunDetach(const std::filesystem::path& machine, const std::string& serial, bool dryRun,
              bool json);
int RunRestart(const std::filesystem::path& machine);
int RunShow(const std::filesystem::path& machine, const std::string& what, bool json);
int RunDiff(const std::filesystem::path& machine, bool json);

struct ExplainOptions {
    std::filesystem::path file;
    std::string serial; // empty: none
    bool json = false;
};
// explain exits with 0 when it found no problem, 1 when it found some, 2 for bad usage and 3
// when the file cannot be read.
int RunExplain(const ExplainOptions& options);

struct CollectOptions {
    std::filesystem::path machine;
    std::filesystem::path out; // empty: stdout
};
// The field collector run on the machine as a customer runs it; its report on stdout or in out.
int RunCollect(const CollectOptions& options);

struct DemoOptions {
    std::filesystem::path machine; // empty: a temporary one, removed at the end
    sim::WindowsVersion version = sim::WindowsVersion::Win98;
    bool shell = true;
    bool force = false;
};
int RunDemo(const DemoOptions& options);

} // namespace lab
