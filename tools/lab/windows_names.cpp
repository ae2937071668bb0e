#include "tools/lab/windows_names.h"

#include <optional>

namespace lab {

namespace {

struct WindowsWords {
    const char* name;
    const char* number; // empty where the name carries it
};

std::optional<WindowsWords> WordsFor(sim::WindowsVersion version) {
    switch (version) {
    case sim::WindowsVersion::Win95:
        return WindowsWords{"Windows 95", "4.0"};
    case sim::WindowsVersion::Win98:
        return WindowsWords{"Windows 98", "4.10"};
    case sim::WindowsVersion::WinMe:
        return WindowsWords{"Windows ME", "4.90"};
    case sim::WindowsVersion::WinNt4:
        return WindowsWords{"Windows NT 4.0", ""};
    case sim::WindowsVersion::Win2000:
        return WindowsWords{"Windows 2000", "5.0"};
    }
    return std::nullopt;
}

} // namespace

std::string WindowsName(sim::WindowsVersion version) {
    std::optional<WindowsWords> words = WordsFor(version);
    return words ? words->name : "Windows";
}

std::string WindowsNameAndNumber(sim::WindowsVersion version) {
    std::optional<WindowsWords> words = WordsFor(version);
    if (!words)
        return "?";
    std::string number = words->number;
    return number.empty() ? words->name : std::string(words->name) + " (" + number + ")";
}

} // namespace lab
