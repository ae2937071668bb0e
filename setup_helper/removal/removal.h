// Device removal: the registry key path walker, key removal by mode and the removal sequence.
#ifndef VTX_SETUP_HELPER_REMOVAL_H
#define VTX_SETUP_HELPER_REMOVAL_H

#include "common/product_names.h"
#include "setup_helper/helper.h"

#define PARENT_KEY_STACK_SIZE 20

// Key path walker (key_path_walker.cpp): one stack of parent handles per program.
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

// Key removal (key_removal.cpp).
#define REMOVE_NAMED_SUBKEY 1
#define REMOVE_MATCHING_INSTANCE 2
#define REMOVE_CLASS_INSTANCE 4
extern CHAR InfFileName[HELPER_TEXT_SIZE];
LONG RemoveRegistryKey(LPCSTR path, LPCSTR name, LONG mode);

// Removal sequence (removal_sequence.cpp).
#define VMM32_DIRECTORY SYSTEM_DIRECTORY "VMM32\\"
void RemoveDevice(void);
DWORD QueueDeleteAtRestart(LPCSTR path);
// out (HELPER_TEXT_SIZE bytes) = directory + "vtx" + code + "01" + extension; FALSE when it does
// not fit.
BOOL BuildDriverFilePath(LPSTR out, LPCSTR directory, LPCSTR code, LPCSTR extension);

#endif // VTX_SETUP_HELPER_REMOVAL_H
