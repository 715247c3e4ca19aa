// A second program on the software token's state file, run by TwoProcessTest beside the first:
// loads the module from the path given and, as many times as asked, gives a wrong user PIN and
// the right one and makes a journalled signature with key 1. Exits with 0 when every call
// answered as it should.
#include "token/Cryptoki.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using GetFunctionList = CK_RV (*)(CK_FUNCTION_LIST_PTR_PTR);

CK_FUNCTION_LIST* loadModule(const char* path) {
#if defined(_WIN32)
    const HMODULE library = ::LoadLibraryA(path);
    const auto entry = library == nullptr
                           ? nullptr
                           : reinterpret_cast<GetFunctionList>(reinterpret_cast<void*>(
                                 ::GetProcAddress(library, "C_GetFunctionList")));
#else
    void* const library = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    const auto entry =
        library == nullptr
            ? nullptr
            : reinterpret_cast<GetFunctionList>(::dlsym(library, "C_GetFunctionList"));
#endif
    CK_FUNCTION_LIST* list = nullptr;
    return entry != nullptr && entry(&list) == CKR_OK ? list : nullptr;
}

bool answered(CK_RV got, CK_RV wanted, const char* call) {
    if (got != wanted) {
        std::fprintf(stderr, "signer: %s answered 0x%lX\n", call, static_cast<unsigned long>(got));
    }
    return got == wanted;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: signer MODULE ROUNDS\n");
        return 2;
    }
    CK_FUNCTION_LIST* p11 = loadModule(argv[1]);
    if (p11 == nullptr || !answered(p11->C_Initialize(nullptr), CKR_OK, "C_Initialize")) {
        return 1;
    }
    CK_SESSION_HANDLE session = 0;
    bool ok = answered(
        p11->C_OpenSession(1, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session),
        CKR_OK, "C_OpenSession");
    std::string wrong = "00000000";
    std::string right = "12345678";
    CK_MECHANISM mechanism{CKM_GOSTR3410, nullptr, 0};
    CK_BYTE digest[32] = {};
    CK_BYTE signature[64] = {};
    for (int round = 0; ok && round < std::atoi(argv[2]); ++round) {
        digest[0] = static_cast<CK_BYTE>(round);
        CK_ULONG length = sizeof signature;
        ok = answered(p11->C_Login(session, CKU_USER,
                                   reinterpret_cast<CK_UTF8CHAR_PTR>(wrong.data()), wrong.size()),
                      CKR_PIN_INCORRECT, "C_Login") &&
             answered(p11->C_Login(session, CKU_USER,
                                   reinterpret_cast<CK_UTF8CHAR_PTR>(right.data()), right.size()),
                      CKR_OK, "C_Login") &&
             answered(p11->C_SignInit(session, &mechanism, 1), CKR_OK, "C_SignInit") &&
             answered(p11->C_Sign(session, digest, sizeof digest, signature, &length), CKR_OK,
                      "C_Sign") &&
             answered(p11->C_Logout(session), CKR_OK, "C_Logout");
    }
    ok = answered(p11->C_Finalize(nullptr), CKR_OK, "C_Finalize") && ok;
    return ok ? 0 : 1;
}
