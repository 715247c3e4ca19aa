#include "ui/PageHelpers.h"

#include "support/FileIo.h"
#include "support/TextConversion.h"
#include "support/WindowTextBuffer.h"
#include "token/Length.h"

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

Bytes readInput(DialogView& view, int editId) {
    return readFile(pathFromEdit(view, editId), token::kLongestInput);
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
