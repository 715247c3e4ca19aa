#include "check/win32/ModuleSearch.h"

#include "support/TextConversion.h"
#include "token/platform/ModuleLoader.h"

#include <string>
#include <vector>
#include <windows.h>

namespace check {

namespace {

// Enough of a file's start for its DOS header and, at any usual offset, its PE header.
constexpr DWORD kHeaderBytes = 4096;

std::string utf8(const std::wstring& text) {
    return wideToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

std::wstring moduleName() {
    const std::string name = token::platform::moduleFileName();
    return std::wstring(name.begin(), name.end());
}

// The system's text for the error without its line end, the module's name put in for "%1".
std::string systemText(unsigned long code) {
    wchar_t buffer[1024];
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       buffer, sizeof buffer / sizeof buffer[0], nullptr);
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    for (std::size_t at = text.find(L"%1"); at != std::wstring::npos; at = text.find(L"%1", at)) {
        text.replace(at, 2, moduleName());
        at += moduleName().size();
    }
    return utf8(text);
}

std::wstring folderOf(UINT(WINAPI* get)(LPWSTR, UINT)) {
    wchar_t folder[MAX_PATH];
    const UINT length = get(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

std::wstring programFolder() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) {
        return {};
    }
    path.resize(length);
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::vector<std::wstring> pathFolders() {
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::wstring path(size, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), size));
    std::vector<std::wstring> folders;
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = path.find(L';', begin);
        if (end == std::wstring::npos) {
            end = path.size();
        }
        if (end > begin) {
            folders.push_back(path.substr(begin, end - begin));
        }
        begin = end + 1;
    }
    return folders;
}

// The folders a load by bare name searches once the current folder is out of the search,
// in order: the program's folder, the system folder, the 16-bit system folder, the Windows
// folder and the folders of PATH.
std::vector<std::wstring> searchFolders() {
    std::vector<std::wstring> folders{programFolder(), folderOf(GetSystemDirectoryW)};
    const std::wstring windows = folderOf(GetWindowsDirectoryW);
    if (!windows.empty()) {
        folders.push_back(windows + L"\\System");
        folders.push_back(windows);
    }
    for (std::wstring& folder : pathFolders()) {
        folders.push_back(std::move(folder));
    }
    return folders;
}

std::wstring fullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return path;
    }
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        return path;
    }
    full.resize(length);
    return full;
}

bool isFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ModuleFile examine(const std::wstring& path) {
    ModuleFile file{utf8(path)};
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    unsigned char header[kHeaderBytes];
    DWORD read = 0;
    file.read =
        handle != INVALID_HANDLE_VALUE && ReadFile(handle, header, kHeaderBytes, &read, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    if (file.read) {
        file.machine = peMachine(header, read);
    }
    return file;
}

} // namespace

LoadFailure probeLoadFailure(unsigned long code) {
    LoadFailure failure{code, systemText(code)};
    std::vector<std::wstring> seen;
    for (const std::wstring& folder : searchFolders()) {
        if (folder.empty()) {
            continue;
        }
        const bool endsInSlash = folder.back() == L'\\' || folder.back() == L'/';
        const std::wstring path = fullPath(folder + (endsInSlash ? L"" : L"\\") + moduleName());
        bool again = false;
        for (const std::wstring& earlier : seen) {
            again = again ||
                    CompareStringOrdinal(earlier.c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL;
        }
        if (again || !isFile(path)) {
            continue;
        }
        seen.push_back(path);
        failure.files.push_back(examine(path));
    }
    return failure;
}

} // namespace check
