// The library, its slots, the tokens in them and their mechanisms.
#include "emulator/core/Emulator.h"
#include "emulator/core/Mechanisms.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace emulator {
namespace {

// PKCS#11 text fields are blank-padded and not terminated; longer text is cut.
void pad(unsigned char* field, std::size_t size, const void* text, std::size_t length) {
    std::memset(field, ' ', size);
    // An empty text may have no storage at all (a null data()), which memcpy must not be given.
    if (length > 0) {
        std::memcpy(field, text, std::min(size, length));
    }
}

void pad(unsigned char* field, std::size_t size, std::string_view text) {
    pad(field, size, text.data(), text.size());
}

template <std::size_t N>
void pad(unsigned char (&field)[N], std::string_view text) {
    pad(field, N, text);
}

unsigned char versionPart(unsigned value) {
    return static_cast<unsigned char>(std::min(value, 255U));
}

} // namespace

void Emulator::getInfo(CK_INFO_PTR info) {
    requireInitialized();
    require(info != nullptr, CKR_ARGUMENTS_BAD);
    *info = CK_INFO{};
    info->cryptokiVersion = {2, 40};
    pad(info->manufacturerID, "Veltora");
    info->flags = 0;
    pad(info->libraryDescription, "Veltora QRD software token");
    info->libraryVersion = {1, 0};
}

void Emulator::getSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID_PTR list, CK_ULONG_PTR count) {
    requireInitialized();
    require(count != nullptr, CKR_ARGUMENTS_BAD);
    std::vector<CK_SLOT_ID> slots;
    for (std::size_t i = 0; i < state_.slots.size(); ++i) {
        if (tokenPresent == CK_FALSE || state_.slots[i].has_value()) {
            slots.push_back(i + 1);
        }
    }
    if (faults_.active("C_GetSlotList", "unavailableLength") != nullptr) {
        *count = CK_UNAVAILABLE_INFORMATION;
        return;
    }
    if (list == nullptr) {
        *count = slots.size();
        return;
    }
    if (*count < slots.size()) {
        *count = slots.size();
        fail(CKR_BUFFER_TOO_SMALL);
    }
    std::ranges::copy(slots, list);
    *count = slots.size();
}

void Emulator::getSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO_PTR info) {
    requireInitialized();
    require(slot >= 1 && slot <= state_.slots.size(), CKR_SLOT_ID_INVALID);
    require(info != nullptr, CKR_ARGUMENTS_BAD);
    *info = CK_SLOT_INFO{};
    pad(info->slotDescription, "Veltora QRD emulated reader " + std::to_string(slot));
    pad(info->manufacturerID, "Veltora");
    info->flags = CKF_REMOVABLE_DEVICE | CKF_HW_SLOT;
    if (state_.slots[slot - 1].has_value()) {
        info->flags |= CKF_TOKEN_PRESENT;
    }
    info->hardwareVersion = {1, 0};
    info->firmwareVersion = {1, 0};
}

void Emulator::getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info) {
    tokenOf(slot);
    require(info != nullptr, CKR_ARGUMENTS_BAD);
    const TokenState& token = freshToken(slot);
    *info = CK_TOKEN_INFO{};
    std::size_t labelLength = token.label.size();
    if (const Fault* cut = faults_.active("C_GetTokenInfo", "cutLabel")) {
        labelLength -= std::min(labelLength, static_cast<std::size_t>(cut->by));
    }
    pad(info->label, sizeof info->label, token.label.data(), labelLength);
    pad(info->manufacturerID, token.manufacturer);
    pad(info->model, token.model);
    pad(info->serialNumber, token.serial);
    info->flags = CKF_RNG | CKF_LOGIN_REQUIRED | CKF_USER_PIN_INITIALIZED | CKF_TOKEN_INITIALIZED;
    if (token.userPinRetriesLeft == 0) {
        info->flags |= CKF_USER_PIN_LOCKED;
    } else if (token.userPinRetriesLeft == 1) {
        info->flags |= CKF_USER_PIN_FINAL_TRY | CKF_USER_PIN_COUNT_LOW;
    } else if (token.userPinRetriesLeft < token.userPinMaxRetries) {
        info->flags |= CKF_USER_PIN_COUNT_LOW;
    }
    CK_ULONG sessions = 0;
    CK_ULONG readWrite = 0;
    for (const auto& [handle, session] : sessions_) {
        if (session.slot == slot) {
            ++sessions;
            readWrite += session.readWrite() ? 1 : 0;
        }
    }
    info->ulMaxSessionCount = CK_EFFECTIVELY_INFINITE;
    info->ulSessionCount = sessions;
    info->ulMaxRwSessionCount = CK_EFFECTIVELY_INFINITE;
    info->ulRwSessionCount = readWrite;
    info->ulMaxPinLen = kMaxPinLength;
    info->ulMinPinLen = kMinPinLength;
    info->ulTotalPublicMemory = CK_UNAVAILABLE_INFORMATION;
    info->ulFreePublicMemory = CK_UNAVAILABLE_INFORMATION;
    info->ulTotalPrivateMemory = CK_UNAVAILABLE_INFORMATION;
    info->ulFreePrivateMemory = CK_UNAVAILABLE_INFORMATION;
    info->hardwareVersion = {1, 0};
    info->firmwareVersion = {versionPart(token.firmwareMajor), versionPart(token.firmwareMinor)};
    pad(info->utcTime, "");
}

void Emulator::getMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE_PTR list, CK_ULONG_PTR count) {
    tokenOf(slot);
    require(count != nullptr, CKR_ARGUMENTS_BAD);
    const auto all = mechanisms();
    if (list == nullptr) {
        *count = all.size();
        return;
    }
    if (*count < all.size()) {
        *count = all.size();
        fail(CKR_BUFFER_TOO_SMALL);
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        list[i] = all[i].type;
    }
    *count = all.size();
}

void Emulator::getMechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type,
                                CK_MECHANISM_INFO_PTR info) {
    tokenOf(slot);
    require(info != nullptr, CKR_ARGUMENTS_BAD);
    const Mechanism* mechanism = findMechanism(type);
    require(mechanism != nullptr, CKR_MECHANISM_INVALID);
    *info = mechanism->info;
}

void Emulator::getTokenInfoExtended(CK_SLOT_ID slot, TokenInfoExtended* info) {
    tokenOf(slot);
    require(info != nullptr, CKR_ARGUMENTS_BAD);
    const TokenState& token = freshToken(slot);
    std::ranges::fill(info->reserved1, 0);
    std::ranges::fill(info->reserved2, 0);
    info->flags = token.checksumInvalid ? CHECKSUM_INVALID_FLAG : 0;
    if (const Fault* odd = faults_.active("C_EX_GetTokenInfoExtended", "recordSize")) {
        info->size = static_cast<CK_ULONG>(odd->value);
        return;
    }
    info->size = sizeof(TokenInfoExtended);
    info->checksum = token.checksum;
}

} // namespace emulator
