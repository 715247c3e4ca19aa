// Test access to the module binding: loading a fixture library by name, and replacing
// entries of the function lists to inject faults.
#pragma once

#include "token/Pkcs11Module.h"

#include <memory>

struct Pkcs11ModuleTestAccess {
    static std::unique_ptr<Pkcs11Module> load(const char* libraryName) {
        return std::unique_ptr<Pkcs11Module>(new Pkcs11Module(libraryName));
    }
    static CK_FUNCTION_LIST_PTR& functions(Pkcs11Module& module) { return module.functions_; }
    static ExtendedFunctionList*& extended(Pkcs11Module& module) { return module.extended_; }
};

// Copies of the binding's two lists, installed in their place for the object's lifetime, so
// that a test can replace single entries.
class ListOverride {
public:
    explicit ListOverride(Pkcs11Module& module)
        : module_(module), originalStandard_(Pkcs11ModuleTestAccess::functions(module)),
          originalExtended_(Pkcs11ModuleTestAccess::extended(module)), standard(*originalStandard_),
          extended(*originalExtended_) {
        Pkcs11ModuleTestAccess::functions(module_) = &standard;
        Pkcs11ModuleTestAccess::extended(module_) = &extended;
    }
    ~ListOverride() {
        Pkcs11ModuleTestAccess::functions(module_) = originalStandard_;
        Pkcs11ModuleTestAccess::extended(module_) = originalExtended_;
    }
    ListOverride(const ListOverride&) = delete;
    ListOverride& operator=(const ListOverride&) = delete;

    // The module's own lists, for replacements that call through to them.
    const CK_FUNCTION_LIST& original() const { return *originalStandard_; }
    const ExtendedFunctionList& originalExtended() const { return *originalExtended_; }

private:
    Pkcs11Module& module_;
    CK_FUNCTION_LIST_PTR originalStandard_;
    ExtendedFunctionList* originalExtended_;

public:
    CK_FUNCTION_LIST standard;
    ExtendedFunctionList extended;
};
