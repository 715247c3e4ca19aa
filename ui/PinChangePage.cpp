#include "ui/PinChangePage.h"

#include "support/TextConversion.h"
#include "support/WindowTextBuffer.h"
#include "support/Wipe.h"
#include "token/Exception.h"
#include "ui/CurrentToken.h"
#include "ui/LongCall.h"
#include "ui/resources/Resource.h"

namespace {

// A PIN read from an edit box; every copy is wiped when it ends.
class TypedPin {
public:
    TypedPin(DialogView& view, int editId) {
        WindowTextBuffer buffer(WindowTextBuffer::kPinCapacity);
        view.readText(editId, buffer);
        text_ = windowTextToUtf8(buffer);
    }
    ~TypedPin() { secureWipe(text_); }
    TypedPin(const TypedPin&) = delete;
    TypedPin& operator=(const TypedPin&) = delete;

    const std::string& text() const noexcept { return text_; }

private:
    std::string text_;
};

// Empties both PIN edits when it ends, whichever way the change ends.
struct ClearPinEdits {
    DialogView& view;
    ~ClearPinEdits() {
        view.setText(IDC_PINCHANGE_NEW, u"");
        view.setText(IDC_PINCHANGE_CONFIRM, u"");
    }
};

void showSuccess(DialogView& view) {
    view.messageBox(u"PIN-код успешно установлен", u"Результат смены PIN-кода");
}

} // namespace

bool PinChangePage::start(DialogView& view) {
    if (currentToken().hasScreen()) {
        view.show(IDC_PINCHANGE_PIN2_RUN, true);
        view.show(IDC_PINCHANGE_PIN2_TEXT, true);
        view.show(IDC_PINCHANGE_PIN2_GROUP, true);
    }
    return true;
}

void PinChangePage::command(DialogView& view, int id, std::intptr_t, int code) {
    if (code != 0) {
        return;
    }
    if (id == IDC_PINCHANGE_RUN) {
        changeUserPin(view);
    } else if (id == IDC_PINCHANGE_PIN2_RUN) {
        changePin2(view);
    }
}

void PinChangePage::changeUserPin(DialogView& view) {
    {
        ClearPinEdits clear{view};
        const TypedPin newPin(view, IDC_PINCHANGE_NEW);
        const TypedPin confirmation(view, IDC_PINCHANGE_CONFIRM);
        if (newPin.text() != confirmation.text()) {
            throw PinException();
        }
        const LongCall longCall(view);
        currentToken().setPin(newPin.text());
    }
    showSuccess(view);
}

void PinChangePage::changePin2(DialogView& view) {
    {
        const LongCall longCall(view);
        currentToken().setLocalPin();
    }
    showSuccess(view);
}
