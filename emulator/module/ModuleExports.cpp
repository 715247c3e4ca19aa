// The module's two exported entry points; everything else is reached through the lists.
#include "emulator/core/Module.h"

#if defined(_WIN32)
#define QRD_EXPORT extern "C" __declspec(dllexport)
#else
#define QRD_EXPORT extern "C" __attribute__((visibility("default")))
#endif

QRD_EXPORT CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
    return qrdGetFunctionList(list);
}

QRD_EXPORT CK_RV C_EX_GetFunctionListExtended(ExtendedFunctionList** list) {
    return qrdGetFunctionListExtended(list);
}
