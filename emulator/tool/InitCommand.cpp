#include "emulator/tool/Commands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <utf8.h>

namespace tool {

namespace {

constexpr const char* kScreenModel = "Veltora Lumora 2";

std::string checkedText(const Options& options, const char* name, std::string fallback,
                        std::size_t minimum, std::size_t maximum) {
    std::string text = options.value(name).value_or(std::move(fallback));
    if (text.size() < minimum || text.size() > maximum) {
        throw UsageError("--" + std::string(name) + " must be " + std::to_string(minimum) + " to " +
                         std::to_string(maximum) + " bytes long");
    }
    // The state file is JSON text, which holds UTF-8 only; the value is not repeated (a PIN).
    if (!utf8::is_valid(text.begin(), text.end())) {
        throw UsageError("--" + std::string(name) + " must be UTF-8 text");
    }
    return text;
}

std::string serialOf(const Options& options, unsigned index) {
    const std::string first = options.value("serial").value_or("1A2B3C4D");
    if (first.empty() || first.size() > 16 || !std::ranges::all_of(first, [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c));
        })) {
        throw UsageError("--serial must be 1 to 16 hexadecimal digits, not \"" + first + "\"");
    }
    if (index == 0) {
        return first;
    }
    // Further tokens count up from the first serial number, keeping its width.
    const unsigned long long next = std::stoull(first, nullptr, 16) + index;
    char text[17] = {};
    std::snprintf(text, sizeof text, "%0*llX", static_cast<int>(first.size()), next);
    return text;
}

void parseFirmware(const std::string& text, unsigned& major, unsigned& minor) {
    const auto dot = text.find('.');
    if (dot == std::string::npos) {
        throw UsageError("--firmware must be MAJOR.MINOR, not \"" + text + "\"");
    }
    major = parseNumber(text.substr(0, dot), "the firmware's major version", 0, 255);
    minor = parseNumber(text.substr(dot + 1), "the firmware's minor version", 0, 255);
}

void runInit(const Options& options, std::ostream& out) {
    const std::string path = statePathOf(options);
    const auto tokens = static_cast<unsigned>(options.number("tokens", 1, 0, 8));
    const auto slots = static_cast<unsigned>(options.number("slots", std::max(tokens, 1U), 1, 8));
    if (tokens > slots) {
        throw UsageError("--tokens must not exceed --slots");
    }
    emulator::TokenState model;
    model.model = checkedText(options, "model", "Veltora QRD", 1, 16);
    const std::string label = checkedText(options, "label", "Token", 0, 32);
    model.label.assign(label.begin(), label.end());
    parseFirmware(options.value("firmware").value_or("1.2"), model.firmwareMajor,
                  model.firmwareMinor);
    model.userPin = checkedText(options, "user-pin", "12345678", 1, 64);
    model.soPin = checkedText(options, "so-pin", "87654321", 1, 64);
    model.userPinMaxRetries = static_cast<int>(options.number("retries", 10, 1, 255));
    model.userPinRetriesLeft = model.userPinMaxRetries;
    model.checksum =
        static_cast<std::uint32_t>(options.number("checksum", 0x5A3C96E1, 0, 0xFFFFFFFFUL));
    model.checksumInvalid = options.has("checksum-invalid");
    if (model.hasScreen()) {
        model.pin2 = checkedText(options, "pin2", "1234", 1, 64);
        model.nextPin2 = checkedText(options, "next-pin2", "5678", 1, 64);
        model.refuseSignatures = options.has("refuse-signatures");
    } else if (options.has("pin2") || options.has("next-pin2") ||
               options.has("refuse-signatures")) {
        throw UsageError("--pin2, --next-pin2 and --refuse-signatures apply only to the model "
                         "with a screen, \"" +
                         std::string(kScreenModel) + "\"");
    }
    if (std::filesystem::exists(std::filesystem::path(std::u8string(path.begin(), path.end()))) &&
        !options.has("force")) {
        throw std::runtime_error(path + " exists already; --force replaces it");
    }

    emulator::State state;
    for (unsigned slot = 0; slot < slots; ++slot) {
        if (slot >= tokens) {
            state.slots.emplace_back(std::nullopt);
            continue;
        }
        emulator::TokenState token = model;
        token.serial = serialOf(options, slot);
        if (options.has("demo-keys")) {
            token.objects = emulator::demoState().slots.front()->objects;
        }
        state.slots.emplace_back(std::move(token));
    }
    emulator::saveState(path, state);
    out << "Created " << path << ": " << slots << " slot(s), " << tokens << " token(s)\n";
}

} // namespace

Command initCommand() {
    return {"init",
            "Creates a state file with empty or demo tokens.",
            "Every token gets the same model, label, firmware and PINs; serial numbers count up\n"
            "from --serial. The model \"Veltora Lumora 2\" has a screen and a second PIN.",
            {kStateOption,
             {"tokens", "N", "tokens present, 0 to 8 (default 1)"},
             {"slots", "N", "slots, 1 to 8, at least --tokens (default: --tokens or 1)"},
             {"model", "TEXT", "model, up to 16 bytes (default \"Veltora QRD\")"},
             {"label", "TEXT", "label, UTF-8, up to 32 bytes (default \"Token\")"},
             {"serial", "HEX", "serial number of the first token, up to 16 hex digits"},
             {"firmware", "M.N", "firmware version (default 1.2)"},
             {"user-pin", "PIN", "user PIN (default 12345678)"},
             {"so-pin", "PIN", "security officer PIN (default 87654321)"},
             {"retries", "N", "wrong user PINs before the lock, 1 to 255 (default 10)"},
             {"pin2", "PIN", "screen model: the PIN entered on the screen (default 1234)"},
             {"next-pin2", "PIN", "screen model: the PIN set by C_EX_SetLocalPIN (default 5678)"},
             {"refuse-signatures", nullptr, "screen model: the holder refuses every signature"},
             {"checksum", "N", "checksum of the extended token information"},
             {"checksum-invalid", nullptr, "mark the checksum as not valid"},
             {"demo-keys", nullptr, "give every token the demo key set"},
             {"force", nullptr, "replace an existing state file"}},
            runInit};
}

} // namespace tool
