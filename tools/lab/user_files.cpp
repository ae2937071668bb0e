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
    unsigned skipped = 0;
    std::string text = vtxsim::WithoutForeignRoots(ReadUserFile(file), &skipped);
    try {
        vtxsim::ImportRegText(text);
    } catch (const std::runtime_error& error) {
        std::string what = error.what();
        const std::string source = "<text>";
        if (what.starts_with(source))
            what = file.string() + what.substr(source.size());
        throw LabError(what);
    }
    return skipped;
}

} // namespace lab
