#include "emulator/crypto/Gcrypt.h"

#include <algorithm>
#include <iterator>

namespace gost {

namespace {

constexpr unsigned char kR3411_94Oid[] = {0x06, 0x07, 0x2A, 0x85, 0x03, 0x02, 0x02, 0x1E, 0x01};
constexpr unsigned char kStreebog256Oid[] = {0x06, 0x08, 0x2A, 0x85, 0x03,
                                             0x07, 0x01, 0x01, 0x02, 0x02};
constexpr unsigned char kStreebog512Oid[] = {0x06, 0x08, 0x2A, 0x85, 0x03,
                                             0x07, 0x01, 0x01, 0x02, 0x03};

int algorithmOf(Hash hash) noexcept {
    switch (hash) {
    case Hash::R3411_94:
        return GCRY_MD_GOSTR3411_CP;
    case Hash::Streebog256:
        return GCRY_MD_STRIBOG256;
    case Hash::Streebog512:
        break;
    }
    return GCRY_MD_STRIBOG512;
}

} // namespace

std::size_t digestSize(Hash hash) noexcept {
    return hash == Hash::Streebog512 ? 64 : 32;
}

Bytes digest(Hash hash, ByteView data) {
    detail::initialise();
    Bytes result(digestSize(hash));
    gcry_md_hash_buffer(algorithmOf(hash), result.data(), data.data(), data.size());
    return result;
}

ByteView hashOid(Hash hash) noexcept {
    switch (hash) {
    case Hash::R3411_94:
        return kR3411_94Oid;
    case Hash::Streebog256:
        return kStreebog256Oid;
    case Hash::Streebog512:
        break;
    }
    return kStreebog512Oid;
}

std::optional<Hash> hashByOid(ByteView der) noexcept {
    for (Hash hash : {Hash::R3411_94, Hash::Streebog256, Hash::Streebog512}) {
        const ByteView oid = hashOid(hash);
        if (std::ranges::equal(oid, der)) {
            return hash;
        }
    }
    return std::nullopt;
}

} // namespace gost
