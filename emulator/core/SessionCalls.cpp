// Sessions, login and the PINs.
#include "emulator/core/Emulator.h"

#include <algorithm>
#include <utf8.h>

namespace emulator {

void Emulator::openSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_SESSION_HANDLE_PTR session) {
    tokenOf(slot);
    require((flags & CKF_SERIAL_SESSION) != 0, CKR_SESSION_PARALLEL_NOT_SUPPORTED);
    require(session != nullptr, CKR_ARGUMENTS_BAD);
    if ((flags & CKF_RW_SESSION) == 0) {
        require(loginOf(slot) != CKU_SO, CKR_SESSION_READ_WRITE_SO_EXISTS);
    }
    const CK_SESSION_HANDLE handle = nextSession_++;
    Session opened;
    opened.slot = slot;
    opened.flags = flags & (CKF_SERIAL_SESSION | CKF_RW_SESSION);
    sessions_.emplace(handle, std::move(opened));
    *session = handle;
}

void Emulator::closeSession(CK_SESSION_HANDLE handle) {
    const CK_SLOT_ID slot = sessionOf(handle).slot;
    sessions_.erase(handle);
    // Closing the last session of a token logs it out.
    if (std::ranges::none_of(sessions_,
                             [&](const auto& entry) { return entry.second.slot == slot; })) {
        loginOf(slot).reset();
    }
}

void Emulator::closeAllSessions(CK_SLOT_ID slot) {
    tokenOf(slot);
    std::erase_if(sessions_, [&](const auto& entry) { return entry.second.slot == slot; });
    loginOf(slot).reset();
}

void Emulator::getSessionInfo(CK_SESSION_HANDLE handle, CK_SESSION_INFO_PTR info) {
    const Session& session = sessionOf(handle);
    require(info != nullptr, CKR_ARGUMENTS_BAD);
    const auto& user = loginOf(session.slot);
    info->slotID = session.slot;
    info->flags = session.flags;
    info->ulDeviceError = 0;
    if (user == CKU_SO) {
        info->state = CKS_RW_SO_FUNCTIONS;
    } else if (user == CKU_USER) {
        info->state = session.readWrite() ? CKS_RW_USER_FUNCTIONS : CKS_RO_USER_FUNCTIONS;
    } else {
        info->state = session.readWrite() ? CKS_RW_PUBLIC_SESSION : CKS_RO_PUBLIC_SESSION;
    }
}

CK_RV Emulator::checkUserPin(TokenState& token, CK_UTF8CHAR_PTR pin, CK_ULONG length) {
    if (token.userPinRetriesLeft <= 0) {
        return CKR_PIN_LOCKED;
    }
    if (!pinMatches(token.userPin, pin, length)) {
        --token.userPinRetriesLeft;
        return CKR_PIN_INCORRECT;
    }
    token.userPinRetriesLeft = token.userPinMaxRetries;
    return CKR_OK;
}

void Emulator::login(CK_SESSION_HANDLE handle, CK_USER_TYPE user, CK_UTF8CHAR_PTR pin,
                     CK_ULONG pinLength) {
    const Session& session = sessionOf(handle);
    tokenOf(session.slot);
    require(user == CKU_USER || user == CKU_SO, CKR_USER_TYPE_INVALID);
    auto& current = loginOf(session.slot);
    require(current != user, CKR_USER_ALREADY_LOGGED_IN);
    require(!current.has_value(), CKR_USER_ANOTHER_ALREADY_LOGGED_IN);
    if (user == CKU_SO) {
        require(std::ranges::all_of(sessions_,
                                    [&](const auto& entry) {
                                        return entry.second.slot != session.slot ||
                                               entry.second.readWrite();
                                    }),
                CKR_SESSION_READ_ONLY_EXISTS);
        require(pinMatches(freshToken(session.slot).soPin, pin, pinLength), CKR_PIN_INCORRECT);
    } else {
        update(session.slot,
               [&](TokenState& token) { return checkUserPin(token, pin, pinLength); });
    }
    current = user;
}

void Emulator::logout(CK_SESSION_HANDLE handle) {
    const Session& session = sessionOf(handle);
    auto& current = loginOf(session.slot);
    require(current.has_value(), CKR_USER_NOT_LOGGED_IN);
    current.reset();
    // Operations that used private keys cannot go on without the login.
    for (auto& [other, open] : sessions_) {
        if (open.slot == session.slot) {
            open.sign.reset();
            open.encrypt.reset();
            open.decrypt.reset();
            open.find.reset();
        }
    }
}

void Emulator::setPin(CK_SESSION_HANDLE handle, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
                      CK_UTF8CHAR_PTR newPin, CK_ULONG newLength) {
    const Session& session = sessionOf(handle);
    tokenOf(session.slot);
    require(session.readWrite(), CKR_SESSION_READ_ONLY);
    const std::string_view replacement = pinText(newPin, newLength);
    require(newLength >= kMinPinLength && newLength <= kMaxPinLength, CKR_PIN_LEN_RANGE);
    // The state file is JSON text, which holds UTF-8 only; the old PIN is not checked (and the
    // retry counter not touched) for a PIN that could not be kept.
    require(utf8::is_valid(replacement.begin(), replacement.end()), CKR_PIN_INVALID);
    const bool officer = loginOf(session.slot) == CKU_SO;
    update(session.slot, [&](TokenState& token) -> CK_RV {
        if (officer) {
            if (!pinMatches(token.soPin, oldPin, oldLength)) {
                return CKR_PIN_INCORRECT;
            }
            token.soPin.assign(replacement);
            return CKR_OK;
        }
        const CK_RV checked = checkUserPin(token, oldPin, oldLength);
        if (checked == CKR_OK) {
            token.userPin.assign(replacement);
        }
        return checked;
    });
}

void Emulator::setLocalPin(CK_SLOT_ID slot, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
                           CK_UTF8CHAR_PTR newPin, CK_ULONG newLength, CK_ULONG pinId) {
    require(tokenOf(slot).hasScreen(), CKR_FUNCTION_NOT_SUPPORTED);
    require(pinId == LOCAL_PIN_ID, CKR_ARGUMENTS_BAD);
    // The PINs are entered on the token's screen, never passed through the host.
    require(pinText(oldPin, oldLength).empty() && pinText(newPin, newLength).empty(),
            CKR_ARGUMENTS_BAD);
    update(slot, [&](TokenState& token) -> CK_RV {
        // What the holder types on the screen comes from the state file; none means cancelled.
        require(token.nextPin2.has_value() && !token.nextPin2->empty(), CKR_FUNCTION_CANCELED);
        token.pin2 = token.nextPin2;
        return CKR_OK;
    });
}

} // namespace emulator
