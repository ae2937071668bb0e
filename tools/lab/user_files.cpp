#include "tools/lab/user_files.h"
#include "tools/lab/lab_error.h"

#include "platform/sim/control/simctl.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace lab {
namespace {

const char* const kAskForExport =
    "ask the customer for the whole registry as regedit exports it (Registry, Export Registry "
    "File, All)";

// What to ask the sender of a file that is no whole export for.
std::string WhatToAskFor(vtxsim::Regedit4Fault fault) {
    switch (fault) {
    case vtxsim::Regedit4Fault::Empty:
    case vtxsim::Regedit4Fault::NotAnExport:
        return kAskForExport;
    case vtxsim::Regedit4Fault::CutShort:
        return "the file was cut short (a mail or copy that stopped early?): ask the customer "
               "to send the export again, whole (zipped)";
    case vtxsim::Regedit4Fault::Malformed:
        break;
    }
    return "was the file changed by hand? ask the customer for the export as regedit wrote it";
}

} // namespace

std::string ReadUserFile(const std::filesystem::path& file) {
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        throw LabError("cannot read " + file.string() + ": it is a directory");
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw LabError("cannot read " + file.string() + ": " +
                       (errno != 0 ? std::strerror(errno) : "cannot open it"));
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        throw LabError("cannot read " + file.string() + ": " + std::strerror(errno));
    return text;
}

ForeignRegistry ImportForeignRegistry(const std::filesystem::path& file) {
    return ImportForeignRegistryText(ReadUserFile(file), file.string());
}

ForeignRegistry ImportForeignRegistryText(const std::string& exported, const std::string& source) {
    ForeignRegistry imported;
    try {
        std::string text = vtxsim::ExportText(exported, source);
        text = vtxsim::WithoutForeignRoots(text, &imported.skipped);
        imported.places = vtxsim::ImportRegExport(text, source);
    } catch (const vtxsim::Regedit4Error& error) {
        throw LabError(std::string(error.what()) + "; " + WhatToAskFor(error.Fault()));
    }
    return imported;
}

} // namespace lab
