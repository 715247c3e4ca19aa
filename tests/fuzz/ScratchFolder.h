// A folder of the process's own for the files a fuzz target reads and writes, under the
// system's temporary folder (./fuzz points TMPDIR at a memory file system, since every run
// writes); removed when the process ends normally.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name)
        : folder_(std::filesystem::temp_directory_path() /
                  (name + "-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string file(const std::string& name) const { return (folder_ / name).string(); }

private:
    std::filesystem::path folder_;
};
