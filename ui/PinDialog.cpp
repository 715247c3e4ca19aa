#include "ui/PinDialog.h"

#include "support/TextConversion.h"
#include "support/WindowTextBuffer.h"
#include "support/Wipe.h"
#include "ui/CurrentToken.h"
#include "ui/ErrorReport.h"
#include "ui/LongCall.h"
#include "ui/resources/Resource.h"

namespace {

constexpr int kLoggedIn = 1;
constexpr int kNotLoggedIn = 2;
constexpr int kOk = 1;
constexpr int kCancel = 2;

} // namespace

void pinDialogOk(DialogView& view) {
    try {
        std::string pin;
        WipeOnExit wipe{pin};
        {
            WindowTextBuffer buffer(WindowTextBuffer::kPinCapacity);
            view.readText(IDC_PIN_EDIT, buffer);
            view.setText(IDC_PIN_EDIT, u"");
            pin = windowTextToUtf8(buffer);
        }
        if (pin.empty()) {
            view.endDialog(kNotLoggedIn);
            return;
        }
        {
            const LongCall longCall(view);
            currentToken().login(pin);
        }
        view.endDialog(kLoggedIn);
    } catch (const std::exception& error) {
        // The box is owned by the dialog while it still stands, so the main window stays
        // disabled until the user has read it: no page can be opened before a login.
        reportError(view, error);
        view.endDialog(kNotLoggedIn);
    }
}

void pinDialogCommand(DialogView& view, int id, int code) {
    if (code != 0) {
        return;
    }
    if (id == kOk) {
        pinDialogOk(view);
    } else if (id == kCancel) {
        view.endDialog(kNotLoggedIn);
    }
}
