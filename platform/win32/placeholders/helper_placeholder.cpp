// Stands in for the helper's WinMain while setup_helper/ defines none, so that the image links.
// It lives in an archive: the linker takes it only when no product object defines WinMain.
#include "platform/win32api.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    return 0;
}
