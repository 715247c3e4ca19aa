// The key lists against the software token: searches, attribute reads and their log lines.
#include "EmulatorFixture.h"
#include "ModuleTestAccess.h"
#include "token/Exception.h"
#include "token/Pkcs11Module.h"

#include <algorithm>
#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::ElementsAreArray;

namespace {

using KeyListTest = EmulatorTest;

std::vector<std::string> searchLines(std::size_t batches) {
    std::vector<std::string> lines{"C_FindObjectsInit -> CKR_OK"};
    lines.insert(lines.end(), batches, "C_FindObjects -> CKR_OK");
    lines.push_back("C_FindObjectsFinal -> CKR_OK");
    return lines;
}

void append(std::vector<std::string>& lines, std::size_t count, const std::string& line) {
    lines.insert(lines.end(), count, line);
}

emulator::KeyObject secretKey(std::uint32_t handle, std::string_view label) {
    emulator::KeyObject key;
    key.handle = handle;
    key.objectClass = emulator::ObjectClass::Secret;
    key.keyType = emulator::KeyType::Gost28147;
    key.label.assign(label.begin(), label.end());
    key.id = {static_cast<unsigned char>(handle)};
    key.value.assign(32, 0x5A);
    return key;
}

TEST_F(KeyListTest, PrivateKeysComeByKeyTypeWithFiveReadsEach) {
    Token& token = startLoggedIn();
    const KeyList<PrivateKey> keys = token.getPrivateKeys();
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].getLabel(), "ГОСТ Р 34.10-2001");
    EXPECT_EQ(keys[0].getAlgorithm(), GOST_2001);
    EXPECT_EQ(keys[0].getBits(), 256);
    EXPECT_TRUE(keys[0].hasPinFlag());
    EXPECT_FALSE(keys[0].hasVisualFlag());
    EXPECT_TRUE(keys[0].hasJournalFlag());
    EXPECT_THAT(keys[0].getId(), ElementsAre(0x01));
    EXPECT_EQ(keys[1].getAlgorithm(), GOST_2012_256);
    EXPECT_EQ(keys[1].getBits(), 256);
    EXPECT_FALSE(keys[1].hasPinFlag());
    EXPECT_TRUE(keys[1].hasVisualFlag());
    EXPECT_FALSE(keys[1].hasJournalFlag());
    EXPECT_EQ(keys[2].getAlgorithm(), GOST_2012_512);
    EXPECT_EQ(keys[2].getBits(), 512);
    EXPECT_EQ(keys[2].getLabel(), "ГОСТ Р 34.10-2012 512");

    std::vector<std::string> expected = searchLines(2);
    append(expected, 2 * 5, "C_GetAttributeValue -> CKR_OK");
    const std::vector<std::string> second = searchLines(2);
    expected.insert(expected.end(), second.begin(), second.end());
    append(expected, 5, "C_GetAttributeValue -> CKR_OK");
    EXPECT_THAT(journal.lines(), ElementsAreArray(expected));
}

TEST_F(KeyListTest, PublicKeysReadFourTimesAndSecretKeysTwice) {
    Token& token = startLoggedIn();
    const KeyList<PublicKey> publicKeys = token.getPublicKeys();
    ASSERT_EQ(publicKeys.size(), 3u);
    EXPECT_EQ(publicKeys[2].getAlgorithm(), GOST_2012_512);
    EXPECT_TRUE(publicKeys[0].hasJournalFlag());
    std::vector<std::string> expected = searchLines(2);
    append(expected, 2 * 4, "C_GetAttributeValue -> CKR_OK");
    const std::vector<std::string> second = searchLines(2);
    expected.insert(expected.end(), second.begin(), second.end());
    append(expected, 4, "C_GetAttributeValue -> CKR_OK");
    EXPECT_THAT(journal.lines(), ElementsAreArray(expected));

    journal.clear();
    const KeyList<SecretKey> secretKeys = token.getSecretKeys();
    ASSERT_EQ(secretKeys.size(), 2u);
    EXPECT_EQ(secretKeys[1].getLabel(), "Ключ шифрования 2");
    expected = searchLines(2);
    append(expected, 2 * 2, "C_GetAttributeValue -> CKR_OK");
    EXPECT_THAT(journal.lines(), ElementsAreArray(expected));
}

TEST_F(KeyListTest, SearchesEndOnlyOnAnEmptyBatch) {
    emulator::State state = demo();
    std::vector<emulator::KeyObject>& objects = tokenOf(state).objects;
    std::erase_if(objects, [](const emulator::KeyObject& key) {
        return key.objectClass == emulator::ObjectClass::Secret;
    });
    Token& none = startLoggedIn(state);
    EXPECT_TRUE(none.getSecretKeys().empty());
    EXPECT_THAT(journal.lines(), ElementsAreArray(searchLines(1)));
    finalizeToken();

    for (std::uint32_t handle = 1000; handle < 1100; ++handle) {
        objects.push_back(secretKey(handle, "k"));
    }
    Token& hundred = startLoggedIn(state);
    EXPECT_EQ(hundred.getSecretKeys().size(), 100u);
    std::vector<std::string> expected = searchLines(2);
    append(expected, 200, "C_GetAttributeValue -> CKR_OK");
    EXPECT_THAT(journal.lines(), ElementsAreArray(expected));
    finalizeToken();

    objects.push_back(secretKey(1100, "k"));
    Token& more = startLoggedIn(state);
    EXPECT_EQ(more.getSecretKeys().size(), 101u);
    expected = searchLines(3);
    append(expected, 202, "C_GetAttributeValue -> CKR_OK");
    EXPECT_THAT(journal.lines(), ElementsAreArray(expected));
}

// What the replaced entries saw.
std::vector<CK_ATTRIBUTE> searchTemplate;
std::vector<bool> nullValues;
CK_FUNCTION_LIST moduleList;

CK_RV recordSearch(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR attributes, CK_ULONG count) {
    searchTemplate.assign(attributes, attributes + count);
    return moduleList.C_FindObjectsInit(session, attributes, count);
}

CK_RV recordPointers(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                     CK_ATTRIBUTE_PTR attributes, CK_ULONG count) {
    for (CK_ULONG i = 0; i < count; ++i) {
        nullValues.push_back(attributes[i].pValue == nullptr);
    }
    return moduleList.C_GetAttributeValue(session, object, attributes, count);
}

TEST_F(KeyListTest, TheSearchTemplateHoldsClassThenKeyTypeAsCkUlongs) {
    Token& token = startLoggedIn();
    ListOverride lists(*moduleBinding());
    moduleList = lists.original();
    lists.standard.C_FindObjectsInit = &recordSearch;
    token.getSecretKeys();
    ASSERT_EQ(searchTemplate.size(), 2u);
    EXPECT_EQ(searchTemplate[0].type, CKA_CLASS);
    EXPECT_EQ(searchTemplate[1].type, CKA_KEY_TYPE);
    for (const CK_ATTRIBUTE& attribute : searchTemplate) {
        EXPECT_EQ(attribute.ulValueLen, sizeof(CK_ULONG));
    }
}

TEST_F(KeyListTest, EmptyLabelsAndIdsAreReadWithNullPointers) {
    emulator::State state = demo();
    std::vector<emulator::KeyObject>& objects = tokenOf(state).objects;
    std::erase_if(objects, [](const emulator::KeyObject& key) {
        return key.objectClass == emulator::ObjectClass::Secret;
    });
    emulator::KeyObject bare = secretKey(500, "");
    bare.id.clear();
    objects.push_back(bare);
    Token& token = startLoggedIn(state);
    ListOverride lists(*moduleBinding());
    moduleList = lists.original();
    lists.standard.C_GetAttributeValue = &recordPointers;
    nullValues.clear();
    const KeyList<SecretKey> keys = token.getSecretKeys();
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].getLabel(), "");
    EXPECT_TRUE(keys[0].getId().empty());
    EXPECT_EQ(keys[0].getHandle(), 500u);
    EXPECT_THAT(nullValues, ElementsAre(true, true, true, true));
}

TEST_F(KeyListTest, VendorFlagsAndRawLabelsAreReadAsTheTokenHoldsThem) {
    emulator::State state = demo();
    for (emulator::KeyObject& key : tokenOf(state).objects) {
        if (key.objectClass == emulator::ObjectClass::Private) {
            key.vendorJournal = 2;
            key.vendorPin = 2;
            key.vendorVisual = 1;
            key.label = {0xCD, 0xE5, 0x20, 0x20};
        }
    }
    Token& token = startLoggedIn(state);
    for (const PrivateKey& key : token.getPrivateKeys()) {
        EXPECT_TRUE(key.hasJournalFlag());
        EXPECT_FALSE(key.hasPinFlag());
        EXPECT_TRUE(key.hasVisualFlag());
        EXPECT_EQ(key.getLabel(), "\xCD\xE5  ");
    }
}

TEST_F(KeyListTest, AKeyLackingAnAttributeFailsTheWholeList) {
    emulator::State state = demo();
    for (emulator::KeyObject& key : tokenOf(state).objects) {
        if (key.objectClass == emulator::ObjectClass::Private && key.id == emulator::Bytes{0x02}) {
            key.vendorPin.reset();
        }
    }
    Token& token = startLoggedIn(state);
    try {
        token.getPrivateKeys();
        FAIL() << "listed";
    } catch (const Pkcs11Exception& e) {
        EXPECT_EQ(e.code(), CKR_ATTRIBUTE_TYPE_INVALID);
    }
    EXPECT_EQ(journal.lines().back(), "C_GetAttributeValue -> CKR_ATTRIBUTE_TYPE_INVALID");
}

// A batch that fails once still ends the search, so the next key list is not refused as a
// search already under way (the software token, like a real one, keeps it open).
TEST_F(KeyListTest, AFailedBatchStillEndsTheSearch) {
    emulator::State state = demo();
    state.faults = nlohmann::json::parse(R"([{"function": "C_FindObjects", "call": 1, "rv": 48}])");
    Token& token = startLoggedIn(state);
    EXPECT_THROW(token.getPublicKeys(), Pkcs11Exception);
    EXPECT_THAT(journal.lines(),
                ElementsAre("C_FindObjectsInit -> CKR_OK", "C_FindObjects -> CKR_DEVICE_ERROR",
                            "C_FindObjectsFinal -> CKR_OK"));
    EXPECT_EQ(token.getPublicKeys().size(), 3u);
}

// Replaced entries that bend the module's answers.
CK_ULONG attributeSlack = 0;
bool overstateQuery = false;
CK_RV bendLengths(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR attributes,
                  CK_ULONG count) {
    const CK_RV rv = moduleList.C_GetAttributeValue(session, object, attributes, count);
    for (CK_ULONG i = 0; i < count; ++i) {
        if ((attributes[i].pValue == nullptr) == overstateQuery) {
            attributes[i].ulValueLen += attributeSlack;
        }
    }
    return rv;
}

int findCalls = 0;
bool endlessSearch = false;
// The first batch overfull, or (endlessSearch) every batch full for ever.
CK_RV tooManyHandles(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE_PTR objects, CK_ULONG maxCount,
                     CK_ULONG_PTR found) {
    const CK_RV rv = moduleList.C_FindObjects(session, objects, maxCount, found);
    if (++findCalls == 1 || endlessSearch) {
        std::fill(objects, objects + maxCount, CK_OBJECT_HANDLE{1});
        *found = endlessSearch ? maxCount : maxCount + 1;
    }
    return rv;
}

// A size query may answer with an upper bound: the values are then the length the second call
// reports, so labels carry no padding and the parameter set is still recognised. A value
// longer than its buffer is a broken answer.
TEST_F(KeyListTest, AttributeValuesTakeTheSecondAnswersLength) {
    Token& token = startLoggedIn();
    const KeyList<PrivateKey> expected = token.getPrivateKeys();
    ListOverride lists(*moduleBinding());
    moduleList = lists.original();
    lists.standard.C_GetAttributeValue = &bendLengths;
    overstateQuery = true;
    attributeSlack = 3;
    const KeyList<PrivateKey> keys = token.getPrivateKeys();
    ASSERT_EQ(keys.size(), expected.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].getLabel(), expected[i].getLabel());
        EXPECT_EQ(keys[i].getId(), expected[i].getId());
        EXPECT_EQ(keys[i].getAlgorithm(), expected[i].getAlgorithm());
    }
    EXPECT_EQ(keys[1].getAlgorithm(), GOST_2012_256);

    overstateQuery = false;
    attributeSlack = 1;
    try {
        token.getPublicKeys();
        FAIL() << "listed";
    } catch (const ModuleAnswerException& e) {
        EXPECT_STREQ(e.whatRu(), "Модуль токена вернул некорректный ответ");
    }
}

// A size query that answers more than any attribute value the workstation reads can hold is
// refused before a buffer of that size is made: the value is never asked for.
int valueReads = 0;
CK_RV hugeLabel(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR attributes,
                CK_ULONG count) {
    const CK_RV rv = moduleList.C_GetAttributeValue(session, object, attributes, count);
    for (CK_ULONG i = 0; i < count; ++i) {
        if (attributes[i].pValue != nullptr) {
            ++valueReads;
        } else if (attributes[i].type == CKA_LABEL) {
            attributes[i].ulValueLen = attributeSlack;
        }
    }
    return rv;
}

TEST_F(KeyListTest, AnAttributeLengthAboveTheBoundIsRefusedBeforeTheValueIsRead) {
    Token& token = startLoggedIn();
    ListOverride lists(*moduleBinding());
    moduleList = lists.original();
    lists.standard.C_GetAttributeValue = &hugeLabel;
    attributeSlack = 64 * 1024; // the most a value may hold
    valueReads = 0;
    EXPECT_EQ(token.getSecretKeys().size(), 2u);
    EXPECT_GT(valueReads, 0);
    for (const CK_ULONG length : {CK_ULONG{64 * 1024 + 1}, CK_ULONG{0x80000000UL}}) {
        attributeSlack = length;
        valueReads = 0;
        EXPECT_THROW(token.getSecretKeys(), ModuleAnswerException) << length;
        EXPECT_EQ(valueReads, 0) << length;
    }
}

// More handles than there was room for, or a search that never ends: the search is ended
// before the failure, so the next key list works.
TEST_F(KeyListTest, AnOverfullBatchOrAnEndlessSearchIsEndedBeforeFailing) {
    Token& token = startLoggedIn();
    for (const bool endless : {false, true}) {
        ListOverride lists(*moduleBinding());
        moduleList = lists.original();
        lists.standard.C_FindObjects = &tooManyHandles;
        endlessSearch = endless;
        findCalls = 0;
        journal.clear();
        try {
            token.getSecretKeys();
            FAIL() << "listed";
        } catch (const ModuleAnswerException& e) {
            EXPECT_STREQ(e.whatRu(), "Модуль токена вернул некорректный ответ");
        }
        if (endless) {
            EXPECT_EQ(findCalls, 101);
            EXPECT_EQ(journal.lines().back(), "C_FindObjectsFinal -> CKR_OK");
        } else {
            EXPECT_THAT(journal.lines(), ElementsAreArray(searchLines(1)));
        }
    }
    EXPECT_EQ(token.getSecretKeys().size(), 2u);
}

} // namespace
