// Key choice lists: how a key is named in a page's drop-down list, how the list is filled,
// widened to its names and read back.
#pragma once

#include "token/Key.h"
#include "ui/DialogView.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The label (or "Метка отсутствует") and the ID in upper-case hexadecimal: "Сессия - 0A".
std::u16string keyBaseName(const Key& key);
// The base name, the length in bits and the journal mark: "… - 256 bits - Journal".
std::u16string asymmetricKeyName(const AsymmetricKey& key);
// The asymmetric name with the PIN and visual marks: "… - PIN - Visual".
std::u16string privateKeyName(const PrivateKey& key);

// Appends one item per key, in list order, selects the first and widens the drop-down.
template <typename K, typename Name>
void fillKeyCombo(DialogView& view, int comboId, const KeyList<K>& keys, Name name) {
    for (const K& key : keys) {
        view.addComboItem(comboId, name(key));
    }
    view.setComboSelection(comboId, 0);
    view.fitDropDownWidth(comboId);
}

// The key of the combo box's current item, or null when nothing is selected. Item i stands
// for key i; an index beyond the list throws std::out_of_range.
template <typename K>
const K* selectedKey(DialogView& view, int comboId, const KeyList<K>& keys) {
    const int index = view.comboSelection(comboId);
    if (index < 0) {
        return nullptr;
    }
    return &keys.at(static_cast<std::size_t>(index));
}

// The drop-down width that shows the widest item whole: the widest text plus the font's
// average character width, plus the scroll bar when the list has one, plus two edges.
struct DropDownMetrics {
    int averageCharWidth = 0;
    bool verticalScroll = false;
    int scrollBarWidth = 0;
    int edgeWidth = 0;
};
int dropDownWidth(const std::vector<std::u16string>& items,
                  const std::function<int(std::u16string_view)>& textWidth,
                  const DropDownMetrics& metrics);
