#include "platform/sim/atomic_write.h"

#include <unistd.h>

#include <fstream>
#include <string>

namespace sim {

AtomicWrite WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    AtomicWrite result;
    result.temporary = path;
    // The process id keeps two processes that replace the same file off each other's temporary.
    result.temporary += ".tmp." + std::to_string(getpid());
    {
        std::ofstream out(result.temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(result.temporary, ignored);
            result.failed = AtomicWrite::Step::Writing;
            return result;
        }
    }
    std::filesystem::rename(result.temporary, path, result.error);
    if (result.error)
        result.failed = AtomicWrite::Step::Replacing;
    return result;
}

} // namespace sim
