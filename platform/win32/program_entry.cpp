// Entry point of the programs (vtxinh01.exe, vtxdiag.exe) without a C runtime: hands WinMain
// the command line tail as the C runtime's start-up would and exits the process with WinMain's
// result.
#include "common/command_line_tail.h"
#include "platform/win32api.h"

extern "C" void ProgramEntry() {
    LPSTR commandLine = GetCommandLineA();
    static CHAR empty[1] = {'\0'};
    LPSTR tail = commandLine != NULL ? CommandLineTail(commandLine) : empty;

    STARTUPINFOA startup;
    startup.cb = sizeof(startup);
    startup.dwFlags = 0;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;

    ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(NULL), NULL, tail, show)));
}
