#include "tools/lab/windows_names.h"

#include <optional>

namespace lab {

namespace {

struct WindowsWords {
    const char* name;
    const char* number; // empty where the name carries it
};

std::optional<WindowsWords> WordsFor(vtxsim::WindowsVersion version) {
    switch (version) {
    case vtxsim::WindowsVersion::Win95:
        return WindowsWords{"Windows 95", "4.0"};
    case vtxsim::WindowsVersion::Win98:
        return WindowsWords{"Windows 98", "4.10"};
    case vtxsim::WindowsVersion::WinMe:
        return WindowsWords{"Windows ME", "4.90"};
    case vtxsim::WindowsVersion::WinNt4:
        return WindowsWords{"Windows NT 4.0", ""};
    case vtxsim::WindowsVersion::Win2000:
        return WindowsWords{"Windows 2000", "5.0"};
    }
    return std::nullopt;
}

} // namespace

std::string WindowsName(vtxsim::WindowsVersion version) {
    std::optional<WindowsWords> words = WordsFor(version);
    return words ? words->name : "Windows";
}

std::string WindowsNameAndNumber(vtxsim::WindowsVersion version) {
    std::optional<WindowsWords> words = WordsFor(version);
    if (!words)
        return "?";
    std::string number = words->number;
    return number.empty() ? words->name : std::string(words->name) + " (" + number + ")";
}

} // namespace lab
