#include "emulator/crypto/PublicKeyInfo.h"
#include "emulator/tool/Commands.h"
#include "support/FileIo.h"

#include <algorithm>

namespace tool {

namespace {

void runExportPublic(const Options& options, std::ostream& out) {
    const auto handle = static_cast<std::uint32_t>(options.number("handle", 0, 1, 0xFFFFFFFFUL));
    if (handle == 0) {
        throw UsageError("option \"--handle\" is required");
    }
    emulator::State state = emulator::loadState(statePathOf(options));
    const emulator::TokenState& token = tokenOf(state, options);
    const emulator::KeyObject* key = token.findObject(handle);
    if (key == nullptr) {
        throw UsageError("the token has no object with handle " + std::to_string(handle));
    }
    if (key->objectClass == emulator::ObjectClass::Secret) {
        throw UsageError("handle " + std::to_string(handle) + " is a secret key");
    }
    const gost::Curve* curve = gost::curveByOid(key->gostr3410Params);
    const auto hash = gost::hashByOid(key->gostr3411Params);
    if (curve == nullptr || !hash) {
        throw std::runtime_error("the key's parameter sets are not GOST ones the tool knows");
    }
    // For a private key, the public value is computed from it.
    const emulator::Bytes publicValue = key->objectClass == emulator::ObjectClass::Public
                                            ? key->value
                                            : gost::publicValueOf(*curve, key->value);
    const std::string pem = gost::publicKeyPem(*curve, *hash, publicValue);
    if (const auto file = options.value("out")) {
        writeFile(*file, Bytes(pem.begin(), pem.end()));
    } else {
        out << pem;
    }
}

} // namespace

Command exportPublicCommand() {
    return {"export-public",
            "Writes a public key as PEM (SubjectPublicKeyInfo) for OpenSSL's gost engine.",
            "The handle may name the public key or its private key.",
            {kStateOption,
             kTokenOption,
             {"handle", "N", "the key object (required)"},
             {"out", "FILE", "write the PEM to this file instead of standard output"}},
            runExportPublic};
}

} // namespace tool
