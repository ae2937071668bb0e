#include "platform/sim/control/spooler_ctl.h"

#include "platform/sim/monitor_host.h"
#include "platform/sim/spooler.h"

namespace vtxsim {

bool AddPrinter(const std::string& name, const std::string& port) {
    return sim::AddPrinter(name, port);
}

bool DeletePrinter(const std::string& name) {
    return sim::DeletePrinter(name);
}

std::vector<std::string> PrinterNames() {
    return sim::PrinterNames();
}

std::string PrinterPort(const std::string& name) {
    return sim::PrinterPort(name);
}

std::vector<std::string> MonitorNames() {
    return sim::MonitorNames();
}

std::string MonitorDriver(const std::string& name) {
    return sim::MonitorDriver(name);
}

void SetMonitorLibraryDir(const std::filesystem::path& dir) {
    sim::SetMonitorLibraryDir(dir);
}

std::filesystem::path MonitorLibraryDir() {
    return sim::MonitorLibraryDir();
}

std::filesystem::path MonitorLibraryPath(std::string_view dllName) {
    return sim::MonitorLibraryPath(dllName);
}

MonitorHost::MonitorHost(std::string dllName)
    : host_(std::make_unique<sim::MonitorHost>(std::move(dllName))) {}

MonitorHost::~MonitorHost() = default;

bool MonitorHost::StartInstances(bool parallel) {
    return host_->StartInstances(parallel);
}

const std::vector<MonitorInstance>& MonitorHost::Instances() const {
    return host_->Instances();
}

const MONITOR& MonitorHost::Table(const std::string& instance) const {
    return host_->Table(instance);
}

const std::string& MonitorHost::Error() const {
    return host_->Error();
}

EnumPortsResult MonitorHost::EnumPorts(DWORD level, const std::string& instance) const {
    return host_->EnumPorts(level, instance);
}

HANDLE MonitorHost::OpenPort(const std::string& port, const std::string& instance) {
    return host_->OpenPort(port, instance);
}

BOOL MonitorHost::StartDocPort(HANDLE port, const std::string& printer, DWORD jobId,
                               const std::string& instance) {
    return host_->StartDocPort(port, printer, jobId, instance);
}

BOOL MonitorHost::WritePort(HANDLE port, std::string_view data, DWORD* written,
                            const std::string& instance) {
    return host_->WritePort(port, data, written, instance);
}

BOOL MonitorHost::ReadPort(HANDLE port, void* buffer, DWORD size, DWORD* read,
                           const std::string& instance) {
    return host_->ReadPort(port, buffer, size, read, instance);
}

BOOL MonitorHost::EndDocPort(HANDLE port, const std::string& instance) {
    return host_->EndDocPort(port, instance);
}

BOOL MonitorHost::ClosePort(HANDLE port, const std::string& instance) {
    return host_->ClosePort(port, instance);
}

} // namespace vtxsim
