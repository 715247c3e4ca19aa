#include "emulator/tool/ParameterSets.h"

#include "emulator/tool/Options.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace tool {

namespace {

struct ParamSet {
    KeyKind kind;
    const char* name;
    const char* display;
    std::string_view der;
};

using namespace std::string_view_literals;

// Curves of GOST R 34.10, digests of GOST R 34.11 and S-boxes of GOST 28147-89 by OID.
const ParamSet kParamSets[] = {
    {KeyKind::Gost2001, "A", "34.10-2001 CryptoPro-A", "\x06\x07\x2A\x85\x03\x02\x02\x23\x01"sv},
    {KeyKind::Gost2001, "B", "34.10-2001 CryptoPro-B", "\x06\x07\x2A\x85\x03\x02\x02\x23\x02"sv},
    {KeyKind::Gost2001, "C", "34.10-2001 CryptoPro-C", "\x06\x07\x2A\x85\x03\x02\x02\x23\x03"sv},
    {KeyKind::Gost2001, "XA", "34.10-2001 CryptoPro-XchA",
     "\x06\x07\x2A\x85\x03\x02\x02\x24\x00"sv},
    {KeyKind::Gost2001, "XB", "34.10-2001 CryptoPro-XchB",
     "\x06\x07\x2A\x85\x03\x02\x02\x24\x01"sv},
    {KeyKind::Gost2001, "test", "34.10-2001 test", "\x06\x07\x2A\x85\x03\x02\x02\x23\x00"sv},
    {KeyKind::Gost2012_256, "A", "34.10-2012-256 tc26-A",
     "\x06\x09\x2A\x85\x03\x07\x01\x02\x01\x01\x01"sv},
    {KeyKind::Gost2012_256, "B", "34.10-2012-256 tc26-B",
     "\x06\x09\x2A\x85\x03\x07\x01\x02\x01\x01\x02"sv},
    {KeyKind::Gost2012_256, "C", "34.10-2012-256 tc26-C",
     "\x06\x09\x2A\x85\x03\x07\x01\x02\x01\x01\x03"sv},
    {KeyKind::Gost2012_256, "D", "34.10-2012-256 tc26-D",
     "\x06\x09\x2A\x85\x03\x07\x01\x02\x01\x01\x04"sv},
    {KeyKind::Gost2012_512, "A", "34.10-2012-512 tc26-A",
     "\x06\x09\x2A\x85\x03\x07\x01\x02\x01\x02\x01"sv},
    {KeyKind::Gost2012_512, "B", "34.10-2012-512 tc26-B",
     "\x06\x09\x2A\x85\x03\x07\x01\x02\x01\x02\x02"sv},
    {KeyKind::Gost2012_512, "C", "34.10-2012-512 tc26-C",
     "\x06\x09\x2A\x85\x03\x07\x01\x02\x01\x02\x03"sv},
    {KeyKind::Gost2012_512, "test", "34.10-2012-512 test",
     "\x06\x09\x2A\x85\x03\x07\x01\x02\x01\x02\x00"sv},
    {KeyKind::Gost28147, "A", "28147-89 CryptoPro-A", "\x06\x07\x2A\x85\x03\x02\x02\x1F\x01"sv},
    {KeyKind::Gost28147, "B", "28147-89 CryptoPro-B", "\x06\x07\x2A\x85\x03\x02\x02\x1F\x02"sv},
    {KeyKind::Gost28147, "C", "28147-89 CryptoPro-C", "\x06\x07\x2A\x85\x03\x02\x02\x1F\x03"sv},
    {KeyKind::Gost28147, "D", "28147-89 CryptoPro-D", "\x06\x07\x2A\x85\x03\x02\x02\x1F\x04"sv},
    {KeyKind::Gost28147, "test", "28147-89 test", "\x06\x07\x2A\x85\x03\x02\x02\x1F\x00"sv},
    {KeyKind::Gost28147, "Z", "28147-89 tc26-Z", "\x06\x09\x2A\x85\x03\x07\x01\x02\x05\x01\x01"sv},
};

const KindInfo kKinds[] = {
    {"2001", KeyKind::Gost2001, emulator::KeyType::Gostr3410, gost::Hash::R3411_94, "A"},
    {"2012-256", KeyKind::Gost2012_256, emulator::KeyType::Gostr3410, gost::Hash::Streebog256, "A"},
    {"2012-512", KeyKind::Gost2012_512, emulator::KeyType::Gostr3410_512, gost::Hash::Streebog512,
     "A"},
    {"28147", KeyKind::Gost28147, emulator::KeyType::Gost28147, gost::Hash::Streebog256, "A"},
};

emulator::Bytes bytesOf(std::string_view der) {
    return {der.begin(), der.end()};
}

} // namespace

const KindInfo& kindByName(const std::string& name) {
    const auto found =
        std::ranges::find_if(kKinds, [&](const KindInfo& kind) { return name == kind.name; });
    if (found == std::end(kKinds)) {
        throw UsageError("--kind must be 2001, 2012-256, 2012-512 or 28147, not \"" + name + "\"");
    }
    return *found;
}

emulator::Bytes paramSetOid(KeyKind kind, const std::string& name) {
    std::string choices;
    for (const ParamSet& set : kParamSets) {
        if (set.kind != kind) {
            continue;
        }
        if (name == set.name) {
            return bytesOf(set.der);
        }
        choices += choices.empty() ? "" : ", ";
        choices += set.name;
    }
    throw UsageError("--paramset for this kind must be one of " + choices + ", not \"" + name +
                     "\"");
}

std::string paramSetDisplayName(const emulator::Bytes& der) {
    for (const ParamSet& set : kParamSets) {
        if (std::ranges::equal(bytesOf(set.der), der)) {
            return set.display;
        }
    }
    for (gost::Hash hash :
         {gost::Hash::R3411_94, gost::Hash::Streebog256, gost::Hash::Streebog512}) {
        if (std::ranges::equal(gost::hashOid(hash), der)) {
            return hash == gost::Hash::R3411_94      ? "34.11-94 CryptoPro"
                   : hash == gost::Hash::Streebog256 ? "Streebog-256"
                                                     : "Streebog-512";
        }
    }
    return emulator::toHex(der);
}

} // namespace tool
