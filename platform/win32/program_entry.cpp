// Entry point of the programs (vtxinh01.exe, vtxdiag.exe) without a C runtime: hands WinMain
// the command line tail as the C runtime's start-up would (the program name skipped, quoted or
// not, then every character of code 0x20 or below) and exits the process with WinMain's result.
#include "platform/win32api.h"

namespace {

LPSTR SkipProgramName(LPSTR text) {
    if (*text == '"') {
        text++;
        while (*text != '\0' && *text != '"')
            text++;
        if (*text == '"')
            text++;
    } else {
        while (static_cast<unsigned char>(*text) > 0x20)
            text++;
    }
    while (*text != '\0' && static_cast<unsigned char>(*text) <= 0x20)
        text++;
    return text;
}

} // namespace

extern "C" void ProgramEntry() {
    LPSTR commandLine = GetCommandLineA();
    static CHAR empty[1] = {'\0'};
    LPSTR tail = commandLine != NULL ? SkipProgramName(commandLine) : empty;

    STARTUPINFOA startup;
    startup.cb = sizeof(startup);
    startup.dwFlags = 0;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;

    ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(NULL), NULL, tail, show)));
}
