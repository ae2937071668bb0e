// The device setup helper vtxinh01: its program-wide state and its operations, one group per
// source file. Texts are single-byte; every buffer's size is named beside it.
#ifndef VTX_SETUP_HELPER_HELPER_H
#define VTX_SETUP_HELPER_HELPER_H

#include "platform/win32api.h"

#define HELPER_TEXT_SIZE 260      // paths, key names, values
#define PARAMETER_STRING_SIZE 256 // the setup program's parameter string

#define ACTION_INSTALL 2
#define ACTION_REMOVE 64

// Helper result codes besides 0 and the registry's own.
#define HELPER_ERROR_NOT_FOUND 2           // ERROR_FILE_NOT_FOUND: key or value missing
#define HELPER_ERROR_PLATFORM 120          // ERROR_CALL_NOT_IMPLEMENTED
#define HELPER_ERROR_COPY_FAILED 266       // ERROR_CANNOT_COPY
#define HELPER_ERROR_RENAME_NOT_SAVED 1003 // "RENAME" section not written
#define HELPER_ERROR_SETUP_EMPTY 1008      // SetupRootPath or SetupExecFile empty
#define HELPER_ERROR_PORT_NOT_FOUND 1168   // ERROR_NOT_FOUND: no "PortName<n>" names the serial
#define HELPER_ERROR_PATH_TOO_LONG 206     // ERROR_FILENAME_EXCED_RANGE: setup program path

// Program-wide state (helper_state.cpp), zero at load.
extern CHAR CommandLineCopy[HELPER_TEXT_SIZE];
extern LONG ActionCode;
extern CHAR DeviceModel[HELPER_TEXT_SIZE];
extern CHAR DeviceSerial[HELPER_TEXT_SIZE];
extern CHAR ModelKeyPath[HELPER_TEXT_SIZE];
extern LONG ErrorCode;
extern LONG DialogCode;
extern LONG AbortFlag;
extern CHAR SetupRoot[HELPER_TEXT_SIZE];
extern CHAR SetupProgramPath[HELPER_TEXT_SIZE];
extern CHAR SetupParameterString[PARAMETER_STRING_SIZE];

// Start-up and action dispatch (startup.cpp).
LRESULT CALLBACK HelperWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void ParseCommandLine(LPCSTR text);
void BuildModelKeyPath(LPSTR out, LPCSTR model);
BOOL IsSupportedPlatform(void);
void InstallDevice(void);

// The machine-wide lock around the action (action_lock.cpp). Begin gives the held mutex, or NULL
// when the action runs without it; End lets go of what Begin gave.
HANDLE BeginExclusiveAction(void);
void EndExclusiveAction(HANDLE mutex);

// Model value reader (model_value_reader.cpp), for the install and the removal. data holds
// HELPER_TEXT_SIZE bytes; a value read is terminated within it.
DWORD ReadModelValue(LPCSTR keyPath, LPCSTR valueName, LPDWORD type, LPSTR data);

// Model settings (model_settings.cpp). The buffers hold HELPER_TEXT_SIZE bytes.
DWORD ReadSetupRootPath(LPSTR destination, LPSTR root);
DWORD ReadSetupExecFile(LPSTR destination, LPSTR buffer);

// Setup command line (setup_command.cpp). Destinations are SetupParameterString-sized.
void BuildSetupCommand(void);
DWORD BuildParameterString(LPSTR destination);
// Label and text appended whole within room bytes, or nothing; FALSE when left out.
BOOL AppendParameterPiece(LPSTR destination, DWORD room, LPCSTR label, LPCSTR text);
// The two model settings' pieces, added whole within room bytes of the destination, or not at
// all.
DWORD AppendSetupParameters(LPSTR destination, DWORD room);
DWORD AppendPortName(LPSTR destination, DWORD room);
void AppendBusType(LPSTR destination);
void AppendModel(LPSTR destination, DWORD room, LPCSTR text);
void AppendSerial(LPSTR destination, DWORD room, LPCSTR text);
void AppendDialog(LPSTR destination, LONG number);
void AppendError(LPSTR destination, LONG number);
void AppendAbort(LPSTR destination, LONG number);
DWORD StoreCmdLine(LPCSTR remainder);

// Setup launch (setup_launch.cpp).
void LaunchSetup(void);

// Monitor registration and printer scan (monitor_registration.cpp).
DWORD ScanPrinterPorts(void);
void RegisterDeviceMonitor(void);
void UnregisterDeviceMonitor(void);

// Helper copy (helper_copy.cpp).
DWORD CopyHelperForRestart(void);

// The "RENAME" section of wininit.ini (rename_section.cpp).
DWORD AppendRenameEntry(LPCSTR key, LPCSTR value);
DWORD TakeBackQueuedDeletion(LPCSTR path);

// Key path walker (key_path_walker.cpp), for the install and the removal: one stack of parent
// handles per program.
#define PARENT_KEY_STACK_SIZE 20
typedef struct _PARENT_KEY_STACK {
    HKEY entries[PARENT_KEY_STACK_SIZE];
    LONG count;
} PARENT_KEY_STACK;
extern PARENT_KEY_STACK ParentKeyStack;

void PushParentKey(HKEY key);
HKEY PopParentKey(void);
// lastComponent, when given, holds HELPER_TEXT_SIZE bytes.
LONG OpenKeyPath(LPCSTR path, HKEY* currentKey, LPSTR lastComponent);
LONG CloseKeyPath(HKEY* currentKey);

#endif // VTX_SETUP_HELPER_HELPER_H
