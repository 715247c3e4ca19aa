// The key kinds qrd-token generates and the names of their parameter sets.
#pragma once

#include "emulator/core/StateFile.h"
#include "emulator/crypto/Gost.h"

#include <string>

namespace tool {

enum class KeyKind { Gost2001, Gost2012_256, Gost2012_512, Gost28147 };

struct KindInfo {
    const char* name; // as given to --kind
    KeyKind kind;
    emulator::KeyType keyType;
    gost::Hash hash; // the digest of a signature key (CKA_GOSTR3411_PARAMS)
    const char* defaultParamSet;
};

// UsageError listing the kinds when the name is unknown.
const KindInfo& kindByName(const std::string& name);

// The DER of the OID of the kind's parameter set called `name`; UsageError listing the names.
emulator::Bytes paramSetOid(KeyKind kind, const std::string& name);

// A readable name of a parameter set's DER ("34.10-2012-512 B"), or its hexadecimal text.
std::string paramSetDisplayName(const emulator::Bytes& der);

} // namespace tool
