#include "tools/lab/user_files.h"
#include "tools/lab/lab_error.h"

#include "platform/sim/control/simctl.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace lab {

std::string ReadUserFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in || std::filesystem::is_directory(file))
        throw LabError("cannot read " + file.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// REGEDIT4 text of another machine into the current one; a malformed file names its line.
unsigned ImportForeignRegistry(const std::filesystem::path& file) {
    return ImportForeignRegistryText(ReadUserFile(file), file.string());
}

unsigned ImportForeignRegistryText(const std::string& regedit4, const std::string& source) {
    unsigned skipped = 0;
    std::string text = vtxsim::WithoutForeignRoots(regedit4, &skipped);
    try {
        vtxsim::ImportRegText(text);
    } catch (const std::runtime_error& error) {
        std::string what = error.what();
        const std::string unnamed = "<text>";
        if (what.starts_with(unnamed))
            what = source + what.substr(unnamed.size());
        throw LabError(what);
    }
    return skipped;
}

} // namespace lab
