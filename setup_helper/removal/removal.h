// Device removal: key removal by mode and the removal sequence.
#ifndef VTX_SETUP_HELPER_REMOVAL_H
#define VTX_SETUP_HELPER_REMOVAL_H

#include "common/product_names.h"
#include "setup_helper/helper.h"

// Key removal (key_removal.cpp).
#define REMOVE_NAMED_SUBKEY 1
#define REMOVE_MATCHING_INSTANCE 2
#define REMOVE_CLASS_INSTANCE 4
extern CHAR InfFileName[HELPER_TEXT_SIZE];
LONG RemoveRegistryKey(LPCSTR path, LPCSTR name, LONG mode);

// Removal sequence (removal_sequence.cpp).
void RemoveDevice(void);
DWORD QueueDeleteAtRestart(LPCSTR path);
// out (HELPER_TEXT_SIZE bytes) = directory + "vtx" + code + "01" + extension; FALSE when it does
// not fit.
BOOL BuildDriverFilePath(LPSTR out, LPCSTR directory, LPCSTR code, LPCSTR extension);

#endif // VTX_SETUP_HELPER_REMOVAL_H
