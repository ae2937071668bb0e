#include "common/product_names.h"

// clang-format off
#define INTERFACE_CLASS_GUID_FORM(a, b, c, d0, d1, d2, d3, d4, d5, d6, d7) \
    {0x##a, 0x##b, 0x##c, {0x##d0, 0x##d1, 0x##d2, 0x##d3, 0x##d4, 0x##d5, 0x##d6, 0x##d7}}
// clang-format on

const GUID InterfaceClassGuid = INTERFACE_CLASS_PARTS(INTERFACE_CLASS_GUID_FORM);
