#include "emulator/tool/Commands.h"
#include "emulator/tool/ParameterSets.h"

#include <cstdio>
#include <utf8.h>

namespace tool {

namespace {

std::string quoted(const emulator::Bytes& text) {
    if (!utf8::is_valid(text.begin(), text.end())) {
        std::string shown = "hex:";
        shown += emulator::toHex(text);
        return shown;
    }
    std::string shown = "\"";
    shown.append(text.begin(), text.end());
    shown += '"';
    return shown;
}

const char* className(emulator::ObjectClass objectClass) {
    switch (objectClass) {
    case emulator::ObjectClass::Secret:
        return "secret ";
    case emulator::ObjectClass::Private:
        return "private";
    case emulator::ObjectClass::Public:
        break;
    }
    return "public ";
}

std::string flag(const char* name, const std::optional<unsigned char>& value) {
    return std::string(" ") + name + "=" + (value ? std::to_string(*value) : "absent");
}

void printObject(const emulator::KeyObject& object, std::ostream& out) {
    out << "  handle " << object.handle << "  " << className(object.objectClass) << "  id "
        << emulator::toHex(object.id) << "  " << quoted(object.label) << "\n    ";
    if (object.keyType == emulator::KeyType::Gost28147) {
        out << (object.gost28147Params.empty() ? "28147-89"
                                               : paramSetDisplayName(object.gost28147Params));
    } else {
        out << paramSetDisplayName(object.gostr3410Params) << ", "
            << paramSetDisplayName(object.gostr3411Params);
    }
    out << (object.isPrivate ? ", private" : "") << flag("pin", object.vendorPin)
        << flag("visual", object.vendorVisual) << flag("journal", object.vendorJournal) << "\n";
}

void printToken(std::size_t slot, const emulator::TokenState& token, std::ostream& out) {
    char checksum[16] = {};
    std::snprintf(checksum, sizeof checksum, "%08X", static_cast<unsigned>(token.checksum));
    out << "Slot " << slot << ": " << token.model << ", label " << quoted(token.label)
        << ", serial " << token.serial << ", firmware " << token.firmwareMajor << "."
        << token.firmwareMinor << "\n  user PIN: " << token.userPinRetriesLeft << " of "
        << token.userPinMaxRetries << " tries left"
        << (token.userPinRetriesLeft == 0 ? " (locked)" : "") << "; checksum " << checksum
        << (token.checksumInvalid ? " (marked invalid)" : "") << "; journal "
        << token.journal.size() << " record(s)\n";
    if (token.hasScreen()) {
        out << "  screen: signatures " << (token.refuseSignatures ? "refused" : "accepted") << "\n";
    }
    for (const emulator::KeyObject& object : token.objects) {
        printObject(object, out);
    }
}

void runList(const Options& options, std::ostream& out) {
    emulator::State state = emulator::loadState(statePathOf(options));
    if (options.has("token")) {
        const std::size_t slot = options.number("token", 1, 1, 1000);
        printToken(slot, tokenOf(state, options), out);
        return;
    }
    for (std::size_t i = 0; i < state.slots.size(); ++i) {
        if (state.slots[i]) {
            printToken(i + 1, *state.slots[i], out);
        } else {
            out << "Slot " << i + 1 << ": no token\n";
        }
    }
    if (!state.faults.empty()) {
        out << "Faults: " << state.faults.dump() << "\n";
    }
}

void runJournal(const Options& options, std::ostream& out) {
    const std::string path = statePathOf(options);
    if (options.has("clear")) {
        emulator::updateState(
            path, [&](emulator::State& state) { tokenOf(state, options).journal.clear(); });
        out << "Journal cleared\n";
        return;
    }
    emulator::State state = emulator::loadState(path);
    const emulator::TokenState& token = tokenOf(state, options);
    for (const emulator::JournalRecord& record : token.journal) {
        out << record.counter << " "
            << (record.kind == emulator::JournalKind::InvisibleSignature ? "invisible" : "visible")
            << " key " << emulator::toHex(record.keyId) << " digest "
            << emulator::toHex(record.digest) << "\n";
    }
}

} // namespace

Command listCommand() {
    return {"list",
            "Shows the slots, tokens and key objects of a state file (never a PIN).",
            "",
            {kStateOption, {"token", "SLOT", "only the token of this slot"}},
            runList};
}

Command journalCommand() {
    return {"journal",
            "Shows a token's journal of signatures, one record a line, or clears it.",
            "A line: counter, visible or invisible signature, the key's id, the digest signed.",
            {kStateOption, kTokenOption, {"clear", nullptr, "remove every record"}},
            runJournal};
}

} // namespace tool
