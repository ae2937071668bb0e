// A registry of the size a customer's Windows 98 machine has: keys spread as a real one
// spreads them (COM classes, the hardware tree, services, programs' own keys), each with a
// few values of the usual kinds, about 135 bytes of REGEDIT4 per key.
#pragma once

#include <cstdio>
#include <string>

namespace vtxbench {

inline std::string CustomerRegistry(int keys) {
    std::string text = "REGEDIT4\n\n";
    char line[256];
    for (int i = 0; i < keys; ++i) {
        switch (i % 4) {
        case 0:
            std::snprintf(line, sizeof line,
                          "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{%08X-0000-0000-C000-"
                          "000000000046}]\n@=\"Component %d\"\n\"ThreadingModel\"=\"Apartment\"\n",
                          i, i);
            break;
        case 1:
            std::snprintf(
                line, sizeof line,
                "[HKEY_LOCAL_MACHINE\\Enum\\Root\\Device%03d\\%04d]\n\"Class\"=\"System\"\n"
                "\"ConfigFlags\"=hex:00,00,00,00\n\"Mfg\"=\"(Standard system devices)\"\n",
                i % 97, i);
            break;
        case 2:
            std::snprintf(
                line, sizeof line,
                "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Unknown\\"
                "%04d]\n\"DriverDesc\"=\"Driver %d\"\n\"Start\"=dword:%08x\n"
                "\"InfPath\"=\"MACHINE.INF\"\n",
                i, i, i % 4);
            break;
        default:
            std::snprintf(line, sizeof line,
                          "[HKEY_LOCAL_MACHINE\\Software\\Vendor%02d\\Product%04d]\n"
                          "\"Path\"=\"C:\\\\Program Files\\\\Vendor%02d\\\\Product%04d\"\n"
                          "\"Version\"=\"4.10.2222\"\n",
                          i % 53, i, i % 53, i);
        }
        text += line;
        text += '\n';
    }
    return text;
}

} // namespace vtxbench
