// What the open and save file dialogs are asked for, field by field as the window system's
// request takes them (the owner is the view's own window; every other field is zero).
#pragma once

#include <cstdint>
#include <string>

struct FileDialogRequest {
    static constexpr std::size_t kFileCapacity = 260;
    static constexpr std::size_t kFilterCapacity = 1024;

    // OFN_READONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOREADONLYRETURN
    static constexpr std::uint32_t kOpenFlags = 0x9801;
    // OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN
    static constexpr std::uint32_t kSaveFlags = 0x8002;

    bool save = false;
    // Empty for no filter; otherwise kFilterCapacity units of description and pattern pairs,
    // each ended by a zero unit, the list ended by at least one more.
    std::u16string filter;
    std::uint32_t filterIndex = 0;
    // The file name buffer: zero-filled on entry, so no name is proposed; the chosen path
    // ended by a zero unit on return.
    std::u16string file = std::u16string(kFileCapacity, u'\0');
    std::uint32_t maxFile = kFileCapacity;
    std::uint32_t flags = 0;
    // Empty for none.
    std::u16string defaultExtension;
};
