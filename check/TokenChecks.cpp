#include "check/TokenChecks.h"

#include "check/JournalRecords.h"
#include "check/KnownAnswers.h"
#include "support/TextConversion.h"
#include "token/Mechanisms.h"
#include "token/Token.h"
#include "ui/KeyChoice.h"

#include <algorithm>
#include <string_view>

namespace check {

namespace {

const std::string kSigning = "Подпись и проверка";
const std::string kEncryption = "Шифрование";

const std::string kNoPublicKey =
    "на токене нет открытого ключа с тем же идентификатором и алгоритмом";
const std::string kJournalKey =
    "подпись добавила бы запись в журнал токена навсегда; см. параметр --journal";
const std::string kRoundTrip =
    " байт зашифровано и расшифровано обратно, шифртекст отличается от него";

// The message signed, and the same message with one byte changed.
constexpr std::string_view kSignedMessage = "token-check: a fixed message signed by the token";

// Encrypted and decrypted: a few kilobytes (past the cipher's key meshing every 1024 bytes)
// of an odd length, with every byte value.
constexpr std::size_t kCipherMessageLength = 4099;

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

std::string hex(const Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

template <typename K, typename Name>
std::vector<std::string> namesOf(const KeyList<K>& keys, Name name) {
    std::vector<std::string> names;
    for (const K& key : keys) {
        names.push_back(wideToUtf8(name(key)));
    }
    return names;
}

template <typename K, typename Fetch, typename Name>
std::optional<KeyList<K>> listKeys(Checker& checker, const std::string& title, Fetch fetch,
                                   Name name) {
    std::optional<KeyList<K>> keys;
    checker.run(title, [&] {
        KeyList<K> fetched = fetch();
        std::vector<std::string> names = namesOf(fetched, name);
        keys = std::move(fetched);
        return passed("найдено ключей: " + std::to_string(keys->size()), std::move(names));
    });
    return keys;
}

// The public key of a private key: the same identifier and the same algorithm.
const PublicKey* publicKeyOf(const PrivateKey& key, const KeyList<PublicKey>& publicKeys) {
    const auto found = std::find_if(publicKeys.begin(), publicKeys.end(), [&](const PublicKey& p) {
        return p.getId() == key.getId() && p.getAlgorithm() == key.getAlgorithm() &&
               p.getBits() == key.getBits();
    });
    return found == publicKeys.end() ? nullptr : &*found;
}

Result signAndVerify(Token& token, const PrivateKey& key, const PublicKey& publicKey) {
    const token::MechanismPair mechanisms = token::mechanismsFor(key.getAlgorithm());
    const Bytes message = bytesOf(kSignedMessage);
    Bytes changed = message;
    changed.back() ^= 0x01;
    // As the signing page signs by default: on the model with a screen without showing the
    // data on it.
    const Bytes signature =
        token.hasScreen()
            ? token.signInvisible(key, message, mechanisms.digest, mechanisms.signature)
            : token.sign(key, message, mechanisms.digest, mechanisms.signature);
    const std::string made = "подпись из " + std::to_string(signature.size()) + " байт";
    if (!token.verify(publicKey, message, signature, mechanisms.digest, mechanisms.signature)) {
        return failed(made + ", но проверка открытым ключом дала «Подпись ошибочна»");
    }
    if (token.verify(publicKey, changed, signature, mechanisms.digest, mechanisms.signature)) {
        return failed(made + ", но изменённое сообщение проверка признала подписанным");
    }
    return passed(made + " проверена открытым ключом, изменённое сообщение отвергнуто");
}

} // namespace

KeyLists checkKeys(Checker& checker, Token& token) {
    KeyLists keys;
    keys.privateKeys = listKeys<PrivateKey>(
        checker, "Закрытые ключи", [&] { return token.getPrivateKeys(); }, privateKeyName);
    keys.publicKeys = listKeys<PublicKey>(
        checker, "Открытые ключи", [&] { return token.getPublicKeys(); },
        [](const PublicKey& key) { return asymmetricKeyName(key); });
    keys.secretKeys = listKeys<SecretKey>(
        checker, "Секретные ключи", [&] { return token.getSecretKeys(); }, keyBaseName);
    return keys;
}

void checkDigests(Checker& checker, Token& token) {
    for (const KnownDigest& known : kKnownDigests) {
        const std::string name =
            "Хэш " + std::string(known.algorithm) + " " + std::string(known.shown);
        checker.run(name, [&] {
            const std::string digest = hex(token.digest(bytesOf(known.message), known.mechanism));
            if (digest != known.digest) {
                return failed("получено " + digest + ", опубликовано " + std::string(known.digest));
            }
            return passed("совпадает с опубликованным значением");
        });
    }
}

void checkSignatures(Checker& checker, Token& token, const KeyLists& keys, bool journalKeys) {
    if (!keys.privateKeys || !keys.publicKeys) {
        checker.skip(kSigning, "список ключей не получен");
        return;
    }
    if (keys.privateKeys->empty()) {
        checker.skip(kSigning, "на токене нет закрытых ключей");
        return;
    }
    for (const PrivateKey& key : *keys.privateKeys) {
        const std::string name = kSigning + " «" + wideToUtf8(privateKeyName(key)) + "»";
        const PublicKey* publicKey = publicKeyOf(key, *keys.publicKeys);
        if (publicKey == nullptr) {
            checker.skip(name, kNoPublicKey);
        } else if (key.hasJournalFlag() && !journalKeys) {
            checker.skip(name, kJournalKey);
        } else {
            checker.run(name, [&] { return signAndVerify(token, key, *publicKey); });
        }
    }
}

void checkEncryption(Checker& checker, Token& token, const KeyLists& keys) {
    if (!keys.secretKeys) {
        checker.skip(kEncryption, "список ключей не получен");
        return;
    }
    if (keys.secretKeys->empty()) {
        checker.skip(kEncryption, "на токене нет секретных ключей");
        return;
    }
    Bytes message(kCipherMessageLength);
    for (std::size_t i = 0; i < message.size(); ++i) {
        message[i] = static_cast<unsigned char>(i * 7 + i / 256);
    }
    for (const SecretKey& key : *keys.secretKeys) {
        const std::string name = kEncryption + " «" + wideToUtf8(keyBaseName(key)) + "»";
        checker.run(name, [&] {
            const Bytes encrypted = token.encrypt(key, message);
            if (encrypted == message) {
                return failed("шифртекст совпадает с сообщением");
            }
            if (token.decrypt(key, encrypted) != message) {
                return failed("расшифрование не вернуло исходное сообщение");
            }
            return passed("сообщение из " + std::to_string(message.size()) + kRoundTrip);
        });
    }
}

void checkJournal(Checker& checker, Token& token) {
    checker.run("Журнал токена", [&] {
        const Bytes journal = token.getJournal();
        const std::string size = std::to_string(journal.size()) + " байт";
        const std::optional<std::size_t> records = countJournalRecords(journal);
        if (!records) {
            return passed(size + ", записи не распознаны");
        }
        return passed("записей: " + std::to_string(*records) + " (" + size + ")");
    });
}

} // namespace check
