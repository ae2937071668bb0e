// Start-up and action dispatch: the command line, the platform test and the hidden window whose
// creation runs the install or the removal action.
#include "common/bounded_text.h"
#include "common/model_remainder.h"
#include "common/product_names.h"
#include "common/windows_version.h"
#include "platform/win32api.h"
#include "setup_helper/helper.h"
#include "setup_helper/removal/removal.h"

#define HELPER_WINDOW_CLASS "Vtxcls01Class"

// The characters from start up to stop (or the end of the text), into value. FALSE when they do
// not fit: the option is then treated as absent rather than cut.
static BOOL CollectOptionValue(LPCSTR start, CHAR stop, LPSTR value) {
    DWORD count = 0;
    while (start[count] != '\0' && start[count] != stop)
        count++;
    value[0] = '\0';
    return TextCopyCount(value, HELPER_TEXT_SIZE, start, count);
}

// Each option is found by its first occurrence anywhere in the text, so they may come in any
// order. The model runs to the next '-' and so usually ends in the space before the next option.
void ParseCommandLine(LPCSTR text) {
    CHAR value[HELPER_TEXT_SIZE];
    LPCSTR found;
    if (text == NULL)
        return;

    found = TextFind(text, "-action=");
    if (found != NULL && CollectOptionValue(found + 8, ' ', value))
        ActionCode = TextToLong(value);

    found = TextFind(text, "-model=");
    if (found != NULL && CollectOptionValue(found + 7, '-', value)) {
        DWORD length = TextLength(value);
        if (length > 0 && value[length - 1] == ' ')
            value[length - 1] = '\0';
        TextCopy(DeviceModel, HELPER_TEXT_SIZE, value);
    }

    found = TextFind(text, "-serial=");
    if (found != NULL && CollectOptionValue(found + 8, ' ', value))
        TextCopy(DeviceSerial, HELPER_TEXT_SIZE, value);
}

// Without a remainder, or when it does not fit, the path stays empty: the model key is then
// missing, rather than "Software\Kelvara\VTXIO" itself, one level too high.
void BuildModelKeyPath(LPSTR out, LPCSTR model) {
    LPCSTR remainder = ModelRemainderOf(model);
    out[0] = '\0';
    if (remainder == NULL)
        return;
    if (!TextCopy(out, HELPER_TEXT_SIZE, MODEL_KEYS) ||
        !TextAppend(out, HELPER_TEXT_SIZE, remainder))
        out[0] = '\0';
}

BOOL IsSupportedPlatform(void) {
    return IsWindows4AtLeast(WINDOWS_98_MINOR);
}

void InstallDevice(void) {
    CHAR library[HELPER_TEXT_SIZE];
    // Plugged in again after the removal of the last printer, before the restart: that removal
    // queued the VMM32 library for deletion, and this printer needs it. The helper's own file
    // needs nothing here: the copy queued below moves it back after its deletion.
    if (BuildDriverFilePath(library, VMM32_DIRECTORY, "vxu", ".dll"))
        TakeBackQueuedDeletion(library);
    // A printer already uses a port of this device: the device is set up.
    if (ScanPrinterPorts() != 1)
        return;
    RegisterDeviceMonitor();
    CopyHelperForRestart();
    BuildSetupCommand();
    if (ErrorCode != HELPER_ERROR_SETUP_EMPTY && ErrorCode != HELPER_ERROR_NOT_FOUND)
        LaunchSetup();
}

LRESULT CALLBACK HelperWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        // The whole action runs here, inside CreateWindowExA.
        BuildModelKeyPath(ModelKeyPath, DeviceModel);
        if (ActionCode == ACTION_INSTALL || ActionCode == ACTION_REMOVE) {
            HANDLE exclusive = BeginExclusiveAction();
            if (ActionCode == ACTION_INSTALL) {
                InstallDevice();
            } else {
                UnregisterDeviceMonitor();
                RemoveDevice();
            }
            EndExclusiveAction(exclusive);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    WNDCLASSA windowClass;
    MSG msg;
    HWND hwnd;
    (void)nCmdShow;

    ErrorCode = 0;
    AbortFlag = 0;
    // A command line too long for its copy is refused whole: a cut one could name another
    // device. It then counts as empty.
    CommandLineCopy[0] = '\0';
    if (lpCmdLine == NULL || !TextCopy(CommandLineCopy, HELPER_TEXT_SIZE, lpCmdLine))
        CommandLineCopy[0] = '\0';
    if (CommandLineCopy[0] == '\0')
        return 0;

    if (!IsSupportedPlatform()) {
        ErrorCode = HELPER_ERROR_PLATFORM;
        DialogCode = 1;
        AbortFlag = 1;
    }
    ParseCommandLine(CommandLineCopy);

    if (hPrevInstance == NULL) {
        MemoryZero(&windowClass, sizeof(windowClass));
        windowClass.lpfnWndProc = HelperWindowProc;
        windowClass.hInstance = hInstance;
        windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
        windowClass.lpszClassName = HELPER_WINDOW_CLASS;
        if (!RegisterClassA(&windowClass))
            return 0;
    }

    hwnd = CreateWindowExA(0, HELPER_WINDOW_CLASS, "", 0, 0, 0, 0, 0, NULL, NULL, hInstance, NULL);
    if (hwnd == NULL)
        return 0;
    ShowWindow(hwnd, SW_HIDE);
    // WM_DESTROY posts the quit message; a window that could not be destroyed never sends it,
    // and the loop below would wait for ever.
    if (!DestroyWindow(hwnd))
        PostQuitMessage(0);

    // GetMessageA gives -1 on an error: that ends the loop too rather than spinning on it.
    MemoryZero(&msg, sizeof(msg));
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
