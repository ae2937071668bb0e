#include "platform/sim/control/files_ctl.h"

#include "platform/sim/atomic_write.h"
#include "platform/sim/files.h"

namespace vtxsim {

std::filesystem::path HostPath(const std::string& windowsPath) {
    return sim::HostPath(windowsPath);
}

void PutFile(const std::string& windowsPath, std::string_view contents) {
    sim::PutFile(windowsPath, contents);
}

std::optional<std::string> GetFileContents(const std::string& windowsPath) {
    return sim::GetFileContents(windowsPath);
}

bool FileExists(const std::string& windowsPath) {
    return sim::FileExists(windowsPath);
}

void SetReadOnly(const std::string& windowsPath, bool readOnly) {
    sim::SetReadOnly(windowsPath, readOnly);
}

void MakeDirectory(const std::string& windowsPath) {
    sim::MakeDirectory(windowsPath);
}

std::vector<std::string> FileTree() {
    return sim::FileTree();
}

AtomicWrite WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    return sim::WriteFileAtomically(path, bytes);
}

} // namespace vtxsim
