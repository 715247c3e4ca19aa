// Key names in the drop-down lists, filling a list and reading the choice back, against keys
// read from the software token.
#include "ui/KeyChoice.h"

#include "EmulatorFixture.h"
#include "MemoryDialogView.h"
#include "ui/resources/Resource.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using KeyChoiceTest = EmulatorTest;

emulator::Bytes bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

// The demo token's objects: the key pairs 2001, 2012-256 and 2012-512 (private, then
// public), then two secret keys.
TEST_F(KeyChoiceTest, KeysAreNamedByLabelIdLengthAndFlags) {
    emulator::State state = demo();
    auto& objects = tokenOf(state).objects;
    objects[0].label = bytesOf("Ключ 1");
    objects[0].id = {0x01, 0x0A};
    objects[0].vendorJournal = 1;
    objects[0].vendorPin = 0;
    objects[0].vendorVisual = 1;
    objects[2].label = bytesOf("Два");
    objects[2].id = {0x00, 0x7F, 0x80, 0xFF};
    objects[2].vendorJournal = 0;
    objects[2].vendorPin = 1;
    objects[2].vendorVisual = 1;
    objects[5].label.clear();
    objects[5].id = {0xFF};
    objects[5].vendorJournal = 0;
    objects[6].label = bytesOf("Сессия");
    objects[6].id.clear();
    objects[7].label = {0xFF, 0xFE};
    objects[7].id = {0x0B};
    Token& token = startLoggedIn(state);

    const KeyList<PrivateKey> privateKeys = token.getPrivateKeys();
    const KeyList<PublicKey> publicKeys = token.getPublicKeys();
    const KeyList<SecretKey> secretKeys = token.getSecretKeys();
    EXPECT_EQ(privateKeyName(privateKeys.at(0)), u"Ключ 1 - 010A - 256 bits - Journal - Visual");
    EXPECT_EQ(privateKeyName(privateKeys.at(1)), u"Два - 007F80FF - 256 bits - PIN - Visual");
    EXPECT_EQ(asymmetricKeyName(publicKeys.at(2)), u"Метка отсутствует - FF - 512 bits");
    EXPECT_EQ(keyBaseName(secretKeys.at(0)), u"Сессия - ");
    EXPECT_EQ(keyBaseName(secretKeys.at(1)), u"Некорректная строка - 0B");
}

TEST_F(KeyChoiceTest, ItemsFollowTheListAndTheSelectionFindsItsKey) {
    emulator::State state = demo();
    auto& objects = tokenOf(state).objects;
    objects[7].label = objects[6].label;
    objects[7].id = objects[6].id;
    const KeyList<SecretKey> keys = startLoggedIn(state).getSecretKeys();

    MemoryDialogView view;
    fillKeyCombo(view, IDC_CRYPT_KEY, keys, keyBaseName);
    const MemoryDialogView::Control& combo = view.control(IDC_CRYPT_KEY);
    ASSERT_EQ(combo.items.size(), 2u);
    EXPECT_EQ(combo.items[0], combo.items[1]);
    EXPECT_EQ(combo.selection, 0);

    view.control(IDC_CRYPT_KEY).selection = 1;
    EXPECT_EQ(selectedKey(view, IDC_CRYPT_KEY, keys)->getHandle(), keys[1].getHandle());
    view.control(IDC_CRYPT_KEY).selection = 2;
    EXPECT_THROW(selectedKey(view, IDC_CRYPT_KEY, keys), std::out_of_range);
}

TEST(KeyChoiceEmptyTest, AnEmptyListSelectsNothing) {
    MemoryDialogView view;
    const KeyList<SecretKey> none;
    fillKeyCombo(view, IDC_CRYPT_KEY, none, keyBaseName);
    EXPECT_EQ(view.control(IDC_CRYPT_KEY).selection, -1);
    EXPECT_EQ(selectedKey(view, IDC_CRYPT_KEY, none), nullptr);
}

} // namespace
