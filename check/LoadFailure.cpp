#include "check/LoadFailure.h"

#include "token/platform/ModuleLoader.h"

#include <cstdio>

namespace check {

namespace {

// The Windows loader's answers that say more than their system text.
constexpr unsigned long kBadExeFormat = 193; // ERROR_BAD_EXE_FORMAT
constexpr unsigned long kModNotFound = 126;  // ERROR_MOD_NOT_FOUND

const std::string kThirtyTwoBit =
    "32-разрядный модуль не может быть загружен в 64-разрядную программу (ошибка 193): "
    "нужен 64-разрядный модуль производителя токена";
const std::string kDependencyMissing =
    "модуль найден, но не найдена библиотека DLL, которая нужна ему для работы (ошибка 126)";
const std::string kNowhere = " не найден ни в папке программы, ни в системных папках, ни в "
                             "папках из переменной PATH";

std::uint32_t little(const unsigned char* data, std::size_t bytes) noexcept {
    std::uint32_t value = 0;
    for (std::size_t i = bytes; i > 0; --i) {
        value = (value << 8) | data[i - 1];
    }
    return value;
}

std::string kindOf(const ModuleFile& file) {
    if (!file.read) {
        return "файл не удалось прочитать";
    }
    if (!file.machine) {
        return "не модуль Windows: нет заголовка PE";
    }
    switch (*file.machine) {
    case kMachineX86:
        return "32-разрядный модуль (x86)";
    case kMachineX64:
        return "64-разрядный модуль (x64)";
    case kMachineArm64:
        return "модуль для процессоров ARM64";
    default:
        break;
    }
    char code[8];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(*file.machine));
    return std::string("модуль для другого процессора, код ") + code;
}

} // namespace

std::optional<std::uint16_t> peMachine(const unsigned char* data, std::size_t size) noexcept {
    // The DOS header names the offset of the "PE\0\0" signature at 0x3C; the file header's
    // machine field follows the signature.
    constexpr std::size_t kOffsetField = 0x3C;
    if (size < kOffsetField + 4 || data[0] != 'M' || data[1] != 'Z') {
        return std::nullopt;
    }
    const std::size_t offset = little(data + kOffsetField, 4);
    if (offset > size || size - offset < 6) {
        return std::nullopt;
    }
    const unsigned char* header = data + offset;
    if (header[0] != 'P' || header[1] != 'E' || header[2] != 0 || header[3] != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(little(header + 4, 2));
}

Result moduleNotLoaded(const LoadFailure& failure) {
    std::string detail = "LoadLibrary: ошибка " + std::to_string(failure.code);
    if (!failure.systemText.empty()) {
        detail += ": " + failure.systemText;
    }
    Result result = failed(detail);
    for (const ModuleFile& file : failure.files) {
        std::string line = file.path + ": " + kindOf(file);
        if (&file == &failure.files.front() && failure.files.size() > 1) {
            line += ", первый на пути поиска";
        }
        result.notes.push_back(line);
    }
    if (failure.files.empty()) {
        result.notes.push_back(token::platform::moduleFileName() + kNowhere);
        return result;
    }
    const ModuleFile& tried = failure.files.front();
    if (failure.code == kBadExeFormat && tried.machine == kMachineX86) {
        result.notes.push_back(kThirtyTwoBit);
    } else if (failure.code == kModNotFound && tried.machine == kMachineX64) {
        result.notes.push_back(kDependencyMissing);
    }
    return result;
}

} // namespace check
