#include "ui/PageHelpers.h"

#include "support/TextConversion.h"
#include "support/WindowTextBuffer.h"
#include "ui/resources/Resource.h"

#include <algorithm>

FileDialogRequest fileDialogRequest(DialogView& view, unsigned filterId, int defaultExtensionId,
                                    bool save) {
    FileDialogRequest request;
    request.save = save;
    request.flags = save ? FileDialogRequest::kSaveFlags : FileDialogRequest::kOpenFlags;

    std::u16string filter = view.loadString(filterId);
    if (!filter.empty()) {
        filter.resize(FileDialogRequest::kFilterCapacity - 1, u'\0');
        filter.resize(FileDialogRequest::kFilterCapacity, u'\0');
        std::replace(filter.begin(), filter.end(), u'|', u'\0');
        request.filter = std::move(filter);
        request.filterIndex = 1;
    }
    if (save && defaultExtensionId != kNoDefaultExtension) {
        request.defaultExtension = view.loadString(static_cast<unsigned>(defaultExtensionId));
    }
    return request;
}

std::u16string fileDialog(DialogView& view, unsigned filterId, int defaultExtensionId, bool save) {
    FileDialogRequest request = fileDialogRequest(view, filterId, defaultExtensionId, save);
    switch (view.runFileDialog(request)) {
    case FileDialogResult::chosen:
        return request.file.substr(0, request.file.find(u'\0'));
    case FileDialogResult::pathTooLong:
        // The dialog closes as if cancelled; the user is told why nothing was chosen.
        view.messageBox(u"Путь к файлу слишком длинный", u"Ошибка");
        return {};
    case FileDialogResult::cancelled:
        break;
    }
    return {};
}

std::u16string openFileDialog(DialogView& view, unsigned filterId) {
    return fileDialog(view, filterId, kNoDefaultExtension, false);
}

std::u16string saveFileDialog(DialogView& view, unsigned filterId, int defaultExtensionId) {
    return fileDialog(view, filterId, defaultExtensionId, true);
}

void browseInto(DialogView& view, int editId, const std::u16string& path) {
    if (!path.empty()) {
        view.setText(editId, path);
    }
}

std::string pathFromEdit(DialogView& view, int editId) {
    WindowTextBuffer buffer(WindowTextBuffer::kPathCapacity);
    view.readText(editId, buffer);
    return windowTextToUtf8(buffer);
}

namespace {

// The edit boxes are asked in order, and the combo box only when both hold text.
void applyRule(DialogView& view, int button, int firstEdit, int secondEdit, int combo) {
    const bool enabled = view.textLength(firstEdit) != 0 && view.textLength(secondEdit) != 0 &&
                         (combo == 0 || view.comboSelection(combo) >= 0);
    view.enable(button, enabled);
}

} // namespace

void updateEncryptButton(DialogView& view) {
    applyRule(view, IDC_CRYPT_RUN, IDC_CRYPT_INPUT, IDC_CRYPT_OUTPUT, IDC_CRYPT_KEY);
}

void updateHashButton(DialogView& view) {
    applyRule(view, IDC_HASH_RUN, IDC_HASH_INPUT, IDC_HASH_OUTPUT, 0);
}

void updateSignButton(DialogView& view) {
    applyRule(view, IDC_SIGN_RUN, IDC_SIGN_INPUT, IDC_SIGN_SIGNATURE, IDC_SIGN_KEY);
}

void updateVerifyButton(DialogView& view) {
    applyRule(view, IDC_VERIFY_RUN, IDC_VERIFY_INPUT, IDC_VERIFY_SIGNATURE, IDC_VERIFY_KEY);
}

bool initHashPage(DialogView& view) {
    view.checkRadio(IDC_HASH_GOST94);
    updateHashButton(view);
    return true;
}

void showSignatureAlgorithm(DialogView& view, const AsymmetricKey& key, int editId) {
    switch (key.getAlgorithm()) {
    case GOST_2001:
        view.setText(editId, u"ГОСТ Р 34.10-2001");
        break;
    case GOST_2012_256:
        view.setText(editId, u"ГОСТ Р 34.10-2012 (256 бит)");
        break;
    case GOST_2012_512:
        view.setText(editId, u"ГОСТ Р 34.10-2012 (512 бит)");
        break;
    default:
        break;
    }
}
