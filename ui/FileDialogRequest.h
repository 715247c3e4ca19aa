// What the open and save file dialogs are asked for, field by field as the window system's
// request takes them (the owner is the view's own window; every other field is zero).
#pragma once

#include <cstdint>
#include <string>

struct FileDialogRequest {
    static constexpr std::size_t kFileCapacity = 260;
    static constexpr std::size_t kFilterCapacity = 1024;

    // OFN_READONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST. Without OFN_NOREADONLYRETURN,
    // which would refuse read-only files and files on write-protected media: an input is only
    // read.
    static constexpr std::uint32_t kOpenFlags = 0x1801;
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

// How a file dialog ended.
enum class FileDialogResult {
    chosen,
    // Cancelled by the user, or failed.
    cancelled,
    // The chosen path does not fit the request's file buffer (nothing is chosen).
    pathTooLong,
};
