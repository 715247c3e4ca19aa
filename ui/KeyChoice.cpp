#include "ui/KeyChoice.h"

#include "support/TextConversion.h"

#include <algorithm>

std::u16string keyBaseName(const Key& key) {
    std::u16string name = labelToWide(key.getLabel());
    if (name.empty()) {
        name = u"Метка отсутствует";
    }
    name += u" - ";
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    for (const unsigned char byte : key.getId()) {
        name += kDigits[byte >> 4];
        name += kDigits[byte & 0x0F];
    }
    return name;
}

std::u16string asymmetricKeyName(const AsymmetricKey& key) {
    std::u16string name = keyBaseName(key) + u" - " + formatUnsigned(key.getBits()) + u" bits";
    if (key.hasJournalFlag()) {
        name += u" - Journal";
    }
    return name;
}

std::u16string privateKeyName(const PrivateKey& key) {
    std::u16string name = asymmetricKeyName(key);
    if (key.hasPinFlag()) {
        name += u" - PIN";
    }
    if (key.hasVisualFlag()) {
        name += u" - Visual";
    }
    return name;
}

int dropDownWidth(const std::vector<std::u16string>& items,
                  const std::function<int(std::u16string_view)>& textWidth,
                  const DropDownMetrics& metrics) {
    int width = 0;
    for (const std::u16string& item : items) {
        width = std::max(width, textWidth(item) + metrics.averageCharWidth);
    }
    if (metrics.verticalScroll) {
        width += metrics.scrollBarWidth;
    }
    return width + 2 * metrics.edgeWidth;
}
