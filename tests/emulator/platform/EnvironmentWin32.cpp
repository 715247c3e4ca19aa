#include "support/TextConversion.h"
#include "tests/emulator/Harness.h"

#include <windows.h>

void setEnvironment(const char* name, const std::optional<std::string>& value) {
    const std::u16string wideName = utf8ToWide(name);
    const std::u16string wideValue = value ? utf8ToWide(*value) : std::u16string();
    ::SetEnvironmentVariableW(reinterpret_cast<const wchar_t*>(wideName.c_str()),
                              value ? reinterpret_cast<const wchar_t*>(wideValue.c_str())
                                    : nullptr);
}
