#include "emulator/tool/Commands.h"
#include "emulator/tool/ParameterSets.h"
#include "support/Wipe.h"

#include <random>
#include <sstream>

namespace tool {

namespace {

// --pin, --visual, --journal: 0 or 1, or "absent" for a key that lacks the attribute.
std::optional<unsigned char> vendorFlag(const Options& options, const char* name) {
    const std::string text = options.value(name).value_or("0");
    if (text == "absent") {
        return std::nullopt;
    }
    return static_cast<unsigned char>(parseNumber(text, std::string("--") + name, 0, 1));
}

emulator::Bytes randomSecretKey() {
    std::random_device random;
    emulator::Bytes key(gost::kCipherKeySize);
    for (auto& byte : key) {
        byte = static_cast<unsigned char>(random());
    }
    return key;
}

emulator::Bytes minimalBigEndian(std::uint32_t number) {
    emulator::Bytes bytes;
    for (; number != 0; number >>= 8) {
        bytes.insert(bytes.begin(), static_cast<unsigned char>(number & 0xFF));
    }
    return bytes;
}

// Gives the token the key that `key` describes (a secret key, or a key pair) and says so.
void addKey(emulator::TokenState& token, emulator::KeyObject key,
            const std::optional<emulator::Bytes>& id, const KindInfo& kind,
            const emulator::Bytes& params, std::ostream& out) {
    key.handle = token.nextHandle();
    key.id = id.value_or(minimalBigEndian(key.handle));

    if (kind.kind == KeyKind::Gost28147) {
        key.objectClass = emulator::ObjectClass::Secret;
        key.gost28147Params = params;
        key.value = randomSecretKey();
        token.objects.push_back(key);
        secureWipe(key.value.data(), key.value.size());
        out << "Secret key: handle " << key.handle << ", id " << emulator::toHex(key.id) << ", "
            << paramSetDisplayName(params) << "\n";
        return;
    }

    const gost::Curve* curve = gost::curveByOid(params);
    if (curve == nullptr) {
        throw std::logic_error("a parameter set of the tool names no curve");
    }
    gost::KeyPair pair = gost::generateKeyPair(*curve);
    const gost::ByteView hashOid = gost::hashOid(kind.hash);
    key.gostr3410Params = params;
    key.gostr3411Params.assign(hashOid.begin(), hashOid.end());

    emulator::KeyObject publicKey = key;
    key.objectClass = emulator::ObjectClass::Private;
    key.value = pair.privateValue;
    secureWipe(pair.privateValue.data(), pair.privateValue.size());
    token.objects.push_back(key);
    secureWipe(key.value.data(), key.value.size());

    publicKey.handle = key.handle + 1;
    publicKey.objectClass = emulator::ObjectClass::Public;
    publicKey.isPrivate = false;
    publicKey.value = pair.publicValue;
    // The screen and PIN attributes belong to the private key's use; the journal one to both.
    publicKey.vendorPin.reset();
    publicKey.vendorVisual.reset();
    token.objects.push_back(publicKey);
    out << "Private key: handle " << key.handle << ", public key: handle " << publicKey.handle
        << ", id " << emulator::toHex(key.id) << ", " << paramSetDisplayName(params) << "\n";
}

void runGenkey(const Options& options, std::ostream& out) {
    const KindInfo& kind = kindByName(options.required("kind"));
    const emulator::Bytes params =
        paramSetOid(kind.kind, options.value("paramset").value_or(kind.defaultParamSet));
    emulator::KeyObject key;
    key.keyType = kind.keyType;
    key.isPrivate = true;
    key.vendorPin = vendorFlag(options, "pin");
    key.vendorVisual = vendorFlag(options, "visual");
    key.vendorJournal = vendorFlag(options, "journal");
    std::optional<emulator::Bytes> id;
    if (const auto text = options.value("id")) {
        id = hexArgument(*text, "--id");
    }
    const std::string label = options.value("label").value_or(
        kind.kind == KeyKind::Gost28147 ? "GOST 28147-89"
                                        : "GOST R 34.10-" + std::string(kind.name));
    if (label.size() > 255) {
        throw UsageError("--label must be at most 255 bytes long");
    }
    key.label.assign(label.begin(), label.end());

    // Under the state file's lock: a module in use meanwhile loses none of its changes.
    std::ostringstream report;
    emulator::updateState(statePathOf(options), [&](emulator::State& state) {
        addKey(tokenOf(state, options), key, id, kind, params, report);
    });
    out << report.str();
}

} // namespace

Command genkeyCommand() {
    return {"genkey",
            "Generates a key pair or a secret key on a token of the state file.",
            "Kinds and parameter sets (the first is the default):\n"
            "  2001      A, B, C, XA, XB, test   (digest GOST R 34.11-94)\n"
            "  2012-256  A, B, C, D              (tc26 sets; digest Streebog-256)\n"
            "  2012-512  A, B, C, test           (digest Streebog-512)\n"
            "  28147     A, B, C, D, test, Z     (S-box of a GOST 28147-89 secret key)",
            {kStateOption,
             kTokenOption,
             {"kind", "KIND", "2001, 2012-256, 2012-512 or 28147 (required)"},
             {"paramset", "NAME", "parameter set of the kind (default A)"},
             {"label", "TEXT", "label, UTF-8"},
             {"id", "HEX", "CKA_ID (default: the handle)"},
             {"pin", "0|1|absent", "vendor PIN attribute of the key (default 0)"},
             {"visual", "0|1|absent", "vendor screen attribute of the key (default 0)"},
             {"journal", "0|1|absent", "vendor journal attribute of the key (default 0)"}},
            runGenkey};
}

} // namespace tool
