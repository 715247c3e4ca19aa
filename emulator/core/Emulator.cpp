#include "emulator/core/Emulator.h"

#include "emulator/core/platform/Environment.h"

#include <cstdio>
#include <stdexcept>

namespace emulator {
namespace {

// The faults of the state file and of QRD_EMULATOR_FAULTS, in that order.
std::vector<Fault> collectFaults(const nlohmann::json& stateFaults) {
    std::vector<Fault> faults = parseFaults(stateFaults);
    const auto variable = platform::environmentVariable("QRD_EMULATOR_FAULTS");
    if (variable && !variable->empty()) {
        const auto document = nlohmann::json::parse(*variable, nullptr, false);
        if (document.is_discarded()) {
            throw std::invalid_argument("QRD_EMULATOR_FAULTS is not valid JSON");
        }
        std::vector<Fault> more = parseFaults(document);
        faults.insert(faults.end(), more.begin(), more.end());
    }
    return faults;
}

// C_Initialize has no other channel for the reason of a failure; the message never holds a
// PIN or a key.
void reportFailure(const char* what) {
    std::fprintf(stderr, "vlPKCS11QRD: %s\n", what);
}

} // namespace

Emulator& Emulator::instance() {
    static Emulator emulator;
    return emulator;
}

std::mutex& Emulator::mutex() {
    static std::mutex lock;
    return lock;
}

void Emulator::prepareFaults() {
    try {
        nlohmann::json stateFaults = nlohmann::json::array();
        if (initialized_) {
            stateFaults = state_.faults;
        } else if (const StatePath where = stateFilePath(); stateFileExists(where.path)) {
            stateFaults = loadState(where.path).faults;
        }
        faults_.set(collectFaults(stateFaults));
    } catch (const std::exception&) {
        // A state file or fault list that cannot be read makes C_Initialize fail; until then
        // no fault applies.
        faults_.set({});
    }
    faults_.resetCounters();
}

void Emulator::initialize(CK_VOID_PTR args) {
    require(!initialized_, CKR_CRYPTOKI_ALREADY_INITIALIZED);
    if (args != nullptr) {
        const auto* init = static_cast<const CK_C_INITIALIZE_ARGS*>(args);
        require(init->pReserved == nullptr, CKR_ARGUMENTS_BAD);
        const int given = (init->CreateMutex != nullptr) + (init->DestroyMutex != nullptr) +
                          (init->LockMutex != nullptr) + (init->UnlockMutex != nullptr);
        require(given == 0 || given == 4, CKR_ARGUMENTS_BAD);
        // The module locks with the operating system's primitives only.
        require(given == 0 || (init->flags & CKF_OS_LOCKING_OK) != 0, CKR_CANT_LOCK);
    }
    StatePath where;
    State state;
    try {
        where = stateFilePath();
        if (where.isDefault && !stateFileExists(where.path)) {
            state = demoState();
            saveState(where.path, state);
        } else {
            state = loadState(where.path);
        }
        faults_.set(collectFaults(state.faults));
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& error) {
        reportFailure(error.what());
        fail(CKR_DEVICE_ERROR);
    }
    state_ = std::move(state);
    statePath_ = std::move(where.path);
    logins_.assign(state_.slots.size(), std::nullopt);
    sessions_.clear();
    initialized_ = true;
}

void Emulator::finalize(CK_VOID_PTR reserved) {
    require(reserved == nullptr, CKR_ARGUMENTS_BAD);
    requireInitialized();
    sessions_.clear();
    logins_.clear();
    state_ = State{};
    initialized_ = false;
}

void Emulator::requireInitialized() const {
    require(initialized_, CKR_CRYPTOKI_NOT_INITIALIZED);
}

TokenState& Emulator::tokenOf(CK_SLOT_ID slot) {
    requireInitialized();
    require(slot >= 1 && slot <= state_.slots.size(), CKR_SLOT_ID_INVALID);
    auto& token = state_.slots[slot - 1];
    require(token.has_value(), CKR_TOKEN_NOT_PRESENT);
    return *token;
}

Session& Emulator::sessionOf(CK_SESSION_HANDLE handle) {
    requireInitialized();
    const auto found = sessions_.find(handle);
    require(found != sessions_.end(), CKR_SESSION_HANDLE_INVALID);
    return found->second;
}

std::optional<CK_USER_TYPE>& Emulator::loginOf(CK_SLOT_ID slot) {
    return logins_.at(slot - 1);
}

bool Emulator::userLoggedIn(CK_SLOT_ID slot) {
    return loginOf(slot) == CKU_USER;
}

const TokenState& Emulator::freshToken(CK_SLOT_ID slot) {
    tokenOf(slot);
    try {
        adopt(loadState(statePath_));
    } catch (const StateFileError& error) {
        reportFailure(error.what());
        fail(CKR_DEVICE_ERROR);
    }
    return tokenOf(slot);
}

void Emulator::update(CK_SLOT_ID slot, const std::function<CK_RV(TokenState&)>& change) {
    tokenOf(slot);
    CK_RV outcome = CKR_OK;
    try {
        const LockedStateFile file(statePath_);
        adopt(file.load());
        TokenState changed = tokenOf(slot);
        outcome = change(changed);
        if (changed != tokenOf(slot)) {
            State next = state_;
            next.slots[slot - 1] = std::move(changed);
            file.save(next);
            state_ = std::move(next);
        }
    } catch (const StateFileError& error) {
        reportFailure(error.what());
        fail(CKR_DEVICE_ERROR);
    }
    require(outcome == CKR_OK, outcome);
}

void Emulator::adopt(State fresh) {
    if (fresh.slots.size() != state_.slots.size()) {
        reportFailure("the state file describes other slots than at C_Initialize");
        fail(CKR_DEVICE_ERROR);
    }
    state_ = std::move(fresh);
}

const KeyObject& Emulator::usableKey(const Session& session, CK_OBJECT_HANDLE handle,
                                     ObjectClass permitted) {
    const KeyObject* key = objectByHandle(freshToken(session.slot), handle);
    require(key != nullptr, CKR_KEY_HANDLE_INVALID);
    require(!key->isPrivate || userLoggedIn(session.slot), CKR_USER_NOT_LOGGED_IN);
    require(key->objectClass == permitted, CKR_KEY_FUNCTION_NOT_PERMITTED);
    return *key;
}

bool Emulator::answerSize(std::string_view function, CK_BYTE_PTR out, CK_ULONG_PTR outLength,
                          std::size_t needed) {
    require(outLength != nullptr, CKR_ARGUMENTS_BAD);
    if constexpr (sizeof(CK_ULONG) < sizeof(std::size_t)) {
        require(needed <= static_cast<CK_ULONG>(-1), CKR_DATA_LEN_RANGE);
    }
    if (out == nullptr) {
        std::size_t reported = needed;
        if (faults_.active(function, "zeroLength") != nullptr) {
            reported = 0;
        } else if (const Fault* overstate = faults_.active(function, "overstate")) {
            reported = needed + static_cast<std::size_t>(overstate->by);
        }
        *outLength = faults_.active(function, "unavailableLength") != nullptr
                         ? CK_UNAVAILABLE_INFORMATION
                         : static_cast<CK_ULONG>(reported);
        return false;
    }
    if (*outLength < needed) {
        *outLength = static_cast<CK_ULONG>(needed);
        fail(CKR_BUFFER_TOO_SMALL);
    }
    *outLength = static_cast<CK_ULONG>(needed);
    return true;
}

const KeyObject* objectByHandle(const TokenState& token, CK_OBJECT_HANDLE handle) {
    if constexpr (sizeof(CK_OBJECT_HANDLE) > sizeof(std::uint32_t)) {
        if (handle > 0xFFFFFFFFU) {
            return nullptr;
        }
    }
    return token.findObject(static_cast<std::uint32_t>(handle));
}

std::string_view pinText(CK_UTF8CHAR_PTR pin, CK_ULONG length) {
    if (length == 0) {
        return {};
    }
    require(pin != nullptr, CKR_ARGUMENTS_BAD);
    return {reinterpret_cast<const char*>(pin), static_cast<std::size_t>(length)};
}

bool pinMatches(std::string_view expected, CK_UTF8CHAR_PTR pin, CK_ULONG length) {
    require(pin != nullptr || length == 0, CKR_ARGUMENTS_BAD);
    if (length > kLongestPin) {
        return false;
    }
    const std::string_view given = pinText(pin, length);
    unsigned difference = expected.size() == given.size() ? 0U : 1U;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const char wanted = expected.empty() ? '\0' : expected[i % expected.size()];
        difference |= static_cast<unsigned char>(wanted ^ given[i]);
    }
    return difference == 0 && !expected.empty();
}

} // namespace emulator
