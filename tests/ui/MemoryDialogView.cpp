#include "MemoryDialogView.h"

#include "support/TextConversion.h"
#include "support/WindowTextBuffer.h"

#include <stdexcept>

MemoryDialogView::MemoryDialogView()
    : strings_{{110, u"Зашифрованный файл (*.enc)|*.enc"},
               {111, u"Файл подписи (*.sig)|*.sig"},
               {112, u"Файл хэша (*.dig)|*.dig"},
               {113, u"Microsoft Office Files"},
               {114, u"dig"},
               {115, u"sig"},
               {116, u"enc"}} {}

void MemoryDialogView::readText(int id, WindowTextBuffer& buffer) {
    buffer.assign(controls_[id].text);
}

void MemoryDialogView::enable(int id, bool enabled) {
    controls_[id].enabled = enabled;
    events_.push_back((enabled ? "enable " : "disable ") + std::to_string(id));
}

void MemoryDialogView::messageBox(std::u16string_view text, std::u16string_view caption) {
    boxes_.push_back({std::u16string(text), std::u16string(caption), result_.has_value()});
    events_.push_back("box " + wideToUtf8(caption));
}

void MemoryDialogView::setComboSelection(int id, int index) {
    Control& combo = controls_[id];
    // As CB_SETCURSEL: an index outside the items leaves nothing selected.
    combo.selection =
        index >= 0 && static_cast<std::size_t>(index) < combo.items.size() ? index : -1;
}

std::u16string MemoryDialogView::loadString(unsigned id) {
    const auto found = strings_.find(id);
    return found == strings_.end() ? std::u16string() : found->second;
}

FileDialogResult MemoryDialogView::runFileDialog(FileDialogRequest& request) {
    requests_.push_back(request);
    if (answers_.empty()) {
        throw std::logic_error("a file dialog the test did not script");
    }
    const std::optional<std::u16string> answer = std::move(answers_.front());
    answers_.pop_front();
    if (!answer) {
        return FileDialogResult::cancelled;
    }
    if (answer->size() >= request.file.size()) {
        return FileDialogResult::pathTooLong;
    }
    std::copy(answer->begin(), answer->end(), request.file.begin());
    return FileDialogResult::chosen;
}

void MemoryDialogView::setWaitCursor(bool on) {
    if (on) {
        ++waitDepth_;
        ++waitCursorsShown_;
    } else {
        --waitDepth_;
    }
}
