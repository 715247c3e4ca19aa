#include "ui/ErrorReport.h"

#include "support/TextConversion.h"
#include "token/Exception.h"

std::u16string errorText(const std::exception& error) {
    if (const auto* own = dynamic_cast<const Exception*>(&error)) {
        return utf8ToWide(own->whatRu());
    }
    // Texts of other failures are English and ASCII; one that is not UTF-8 is still shown.
    return utf8ToWideForDisplay(error.what());
}

void reportError(DialogView& view, const std::exception& error) {
    view.messageBox(errorText(error), u"Ошибка");
}
