// The model remainder: what names a model's keys, "K9" of "Draftaire K9".
#ifndef VTX_COMMON_MODEL_REMAINDER_H
#define VTX_COMMON_MODEL_REMAINDER_H

#include "platform/win32api.h"

// The model after its leading run of characters of "Draftaire "; NULL when nothing remains.
LPCSTR ModelRemainderOf(LPCSTR model);

#endif // VTX_COMMON_MODEL_REMAINDER_H
