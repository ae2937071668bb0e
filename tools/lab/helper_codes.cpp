#include "tools/lab/helper_codes.h"

#include "common/product_names.h"

#include <fmt/format.h>

#include <regex>

namespace lab {
namespace {

std::optional<long> NumberAfter(const std::string& text, const std::string& option) {
    std::smatch match;
    const std::regex pattern(" -v " + option + "=(-?[0-9]+)");
    if (!std::regex_search(text, match, pattern))
        return std::nullopt;
    try {
        return std::stol(match[1].str());
    } catch (const std::out_of_range&) {
        return std::nullopt;
    }
}

// The codes the spooler gives a refused AddMonitor, in words and with what to do.
HelperCodeWords RegistrationWords(long error) {
    const std::string again = "then detach and attach the printer again";
    switch (error) {
    case 3006:
        return {"the spooler has a monitor instance of that serial already (3006)",
                "delete the instance below Control\\Print\\Monitors, " + again};
    case 126:
        return {"the spooler cannot load " MONITOR_FILE_NAME " (126, module not found)",
                "copy " MONITOR_FILE_NAME " to C:\\Windows\\System, " + again};
    case 1805:
        return {"the spooler refused the environment \"Windows 4.0\" (1805)",
                "check that the spooler is the one of Windows 98 or ME, " + again};
    case 1722:
    case 1706:
        return {fmt::format("the spooler was not running ({})", error),
                "start the print spooler (restart Windows), " + again};
    case 5:
        return {"the spooler denied access (5)",
                "log on with the rights to add monitors, " + again};
    case 2:
        return {"the spooler did not find what it needed (2), and the helper started no setup "
                "program",
                "copy " MONITOR_FILE_NAME " to C:\\Windows\\System, " + again};
    default:
        return {
            fmt::format("the spooler refused to register the monitor instance, error {}", error),
            "look the error up in the spooler's codes, " + again};
    }
}

} // namespace

std::optional<HelperResult> HelperResultOf(const std::string& cmdLine) {
    std::optional<long> dialog = NumberAfter(cmdLine, "dialog");
    std::optional<long> error = NumberAfter(cmdLine, "error");
    std::optional<long> abort = NumberAfter(cmdLine, "abort");
    if (!dialog || !error || !abort)
        return std::nullopt;
    return HelperResult{*dialog, *error, *abort};
}

std::string MeaningOfHelperCode(long error) {
    switch (error) {
    case 0:
        return "success";
    case 2:
        return "a key or value is missing";
    case 120:
        return "the platform is not supported";
    case 206:
        return "the setup program's path is too long for the helper's buffer";
    case 234:
        return "a value of the model key is too long for the helper's buffer";
    case 266:
        return "the copy of the helper's file failed";
    case 1003:
        return "the RENAME section was not written";
    case 1008:
        return "SetupRootPath or SetupExecFile is empty";
    case 1168:
        return "no PortName<n> of the model key names the serial";
    case 3006:
        return "the spooler has a monitor of that name already";
    default:
        return "a platform error";
    }
}

HelperCodeWords WordsOfHelperResult(const HelperResult& r) {
    if (r.dialog == 2)
        return RegistrationWords(r.error);
    const std::string again = "then detach and attach the printer again";
    switch (r.error) {
    case 120:
        return {"the helper ran on a Windows it does not support (not 98 or ME): error 120",
                "install the printer on Windows 98 or Windows ME"};
    case 1168:
        return {"no PortName<n> of the model key names the serial (1168): the setup program was "
                "told no port",
                "add a PortName<n> with the printer's port to the model key, or install the "
                "maker's software again, " +
                    again};
    case 206:
        return {"the setup program's path does not fit the helper's 260 bytes (206): nothing "
                "was queued",
                "install the maker's software in a shorter directory, " + again};
    case 234:
        return {"a value of the model key is longer than the helper's 260 bytes (234)",
                "shorten the model key's values, " + again};
    case 2:
    case 1008:
        return {fmt::format("{} ({}): no setup program was started", MeaningOfHelperCode(r.error),
                            r.error),
                "install the maker's software for this model again, " + again};
    case 266:
    case 1003:
        return {fmt::format("{} ({})", MeaningOfHelperCode(r.error), r.error),
                "check the space and the rights on C:\\Windows, " + again};
    default:
        return {fmt::format("the helper recorded error {}, dialog {}, abort {}", r.error, r.dialog,
                            r.abort),
                again};
    }
}

} // namespace lab
