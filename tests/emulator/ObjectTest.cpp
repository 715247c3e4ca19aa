// Object search and attributes.
#include "tests/emulator/Harness.h"

#include <algorithm>

namespace {

using ObjectTest = ModuleTest;

struct Pattern {
    CK_OBJECT_CLASS objectClass;
    CK_KEY_TYPE keyType;
    std::vector<CK_ATTRIBUTE> attributes() {
        return {{CKA_CLASS, &objectClass, sizeof objectClass},
                {CKA_KEY_TYPE, &keyType, sizeof keyType}};
    }
};

TEST_F(ObjectTest, PrivateObjectsAppearOnlyAfterLogin) {
    startStandard();
    const CK_SESSION_HANDLE session = openSession();
    EXPECT_EQ(find(session), (std::vector<CK_OBJECT_HANDLE>{2, 4, 6}));
    ASSERT_EQ(login(session, "12345678"), CKR_OK);
    EXPECT_EQ(find(session).size(), 8U);
}

TEST_F(ObjectTest, TemplatesSelectByClassAndKeyType) {
    startStandard();
    const CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(login(session, "12345678"), CKR_OK);
    Pattern privateKeys{CKO_PRIVATE_KEY, CKK_GOSTR3410};
    EXPECT_EQ(find(session, privateKeys.attributes()), (std::vector<CK_OBJECT_HANDLE>{1, 3}));
    Pattern wide{CKO_PUBLIC_KEY, CKK_GOSTR3410_512};
    EXPECT_EQ(find(session, wide.attributes()), (std::vector<CK_OBJECT_HANDLE>{6}));
    Pattern secret{CKO_SECRET_KEY, CKK_GOST28147};
    EXPECT_EQ(find(session, secret.attributes()), (std::vector<CK_OBJECT_HANDLE>{7, 8}));
    // A value of the wrong size matches nothing.
    CK_BYTE shortClass = CKO_SECRET_KEY;
    EXPECT_TRUE(find(session, {{CKA_CLASS, &shortClass, 1}}).empty());
}

TEST_F(ObjectTest, SearchStateIsChecked) {
    startStandard();
    const CK_SESSION_HANDLE session = openSession();
    CK_OBJECT_HANDLE handles[4];
    CK_ULONG count = 0;
    EXPECT_EQ(p11_->C_FindObjects(session, handles, 4, &count), CKR_OPERATION_NOT_INITIALIZED);
    EXPECT_EQ(p11_->C_FindObjectsFinal(session), CKR_OPERATION_NOT_INITIALIZED);
    ASSERT_EQ(p11_->C_FindObjectsInit(session, nullptr, 0), CKR_OK);
    EXPECT_EQ(p11_->C_FindObjectsInit(session, nullptr, 0), CKR_OPERATION_ACTIVE);
    ASSERT_EQ(p11_->C_FindObjects(session, handles, 2, &count), CKR_OK);
    EXPECT_EQ(count, 2U);
    ASSERT_EQ(p11_->C_FindObjects(session, handles, 4, &count), CKR_OK);
    EXPECT_EQ(count, 1U);
    ASSERT_EQ(p11_->C_FindObjects(session, handles, 4, &count), CKR_OK);
    EXPECT_EQ(count, 0U);
    EXPECT_EQ(p11_->C_FindObjectsFinal(session), CKR_OK);
}

TEST_F(ObjectTest, AttributeLengthsThenValues) {
    startStandard();
    const CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(login(session, "12345678"), CKR_OK);
    CK_ATTRIBUTE request[] = {{CKA_LABEL, nullptr, 0}, {CKA_ID, nullptr, 0}};
    ASSERT_EQ(p11_->C_GetAttributeValue(session, 5, request, 2), CKR_OK);
    const std::string expected = "ГОСТ Р 34.10-2012 512";
    ASSERT_EQ(request[0].ulValueLen, expected.size());
    ASSERT_EQ(request[1].ulValueLen, 1U);
    std::string label(request[0].ulValueLen, '\0');
    CK_BYTE id = 0;
    request[0].pValue = label.data();
    request[1].pValue = &id;
    ASSERT_EQ(p11_->C_GetAttributeValue(session, 5, request, 2), CKR_OK);
    EXPECT_EQ(label, expected);
    EXPECT_EQ(id, 3);

    // A null entry and a filled one in the same call, as the workstation reads a key.
    CK_BBOOL journal = 0;
    CK_ATTRIBUTE mixed[] = {{CKA_GOSTR3411_PARAMS, nullptr, 0}, {VENDOR_ATTR_JOURNAL, &journal, 1}};
    ASSERT_EQ(p11_->C_GetAttributeValue(session, 5, mixed, 2), CKR_OK);
    EXPECT_EQ(mixed[0].ulValueLen, 10U);
    EXPECT_EQ(journal, 1);

    CK_KEY_TYPE keyType = 0;
    CK_ATTRIBUTE type{CKA_KEY_TYPE, &keyType, sizeof keyType};
    ASSERT_EQ(p11_->C_GetAttributeValue(session, 5, &type, 1), CKR_OK);
    EXPECT_EQ(keyType, CKK_GOSTR3410_512);
}

TEST_F(ObjectTest, AttributeFailuresFollowPkcs11) {
    emulator::TokenState token = standardToken();
    token.objects[0].vendorVisual.reset();
    start(token);
    const CK_SESSION_HANDLE session = openSession();
    CK_BYTE buffer[200];

    // Before login a private object is answered as one that does not exist.
    CK_ATTRIBUTE label{CKA_LABEL, buffer, sizeof buffer};
    EXPECT_EQ(p11_->C_GetAttributeValue(session, 1, &label, 1), CKR_OBJECT_HANDLE_INVALID);
    ASSERT_EQ(login(session, "12345678"), CKR_OK);

    CK_ATTRIBUTE small{CKA_LABEL, buffer, 3};
    EXPECT_EQ(p11_->C_GetAttributeValue(session, 1, &small, 1), CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(small.ulValueLen, CK_UNAVAILABLE_INFORMATION);

    CK_BBOOL visual = 0;
    CK_BBOOL pin = 0;
    CK_ATTRIBUTE flags[] = {{VENDOR_ATTR_VISUAL, &visual, 1}, {VENDOR_ATTR_PIN, &pin, 1}};
    EXPECT_EQ(p11_->C_GetAttributeValue(session, 1, flags, 2), CKR_ATTRIBUTE_TYPE_INVALID);
    EXPECT_EQ(flags[0].ulValueLen, CK_UNAVAILABLE_INFORMATION);
    EXPECT_EQ(flags[1].ulValueLen, 1U);
    EXPECT_EQ(pin, 1);

    for (CK_OBJECT_HANDLE secret : {CK_OBJECT_HANDLE{1}, CK_OBJECT_HANDLE{7}}) {
        CK_ATTRIBUTE value{CKA_VALUE, buffer, sizeof buffer};
        EXPECT_EQ(p11_->C_GetAttributeValue(session, secret, &value, 1), CKR_ATTRIBUTE_SENSITIVE);
    }
    CK_ATTRIBUTE publicValue{CKA_VALUE, buffer, sizeof buffer};
    ASSERT_EQ(p11_->C_GetAttributeValue(session, 2, &publicValue, 1), CKR_OK);
    EXPECT_EQ(publicValue.ulValueLen, 64U);
    EXPECT_EQ(p11_->C_GetAttributeValue(session, 99, &publicValue, 1), CKR_OBJECT_HANDLE_INVALID);
}

} // namespace
