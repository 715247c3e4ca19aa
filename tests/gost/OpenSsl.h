// Runs the openssl command-line program with the gost engine on files of a scratch folder.
#pragma once

#include "emulator/crypto/Gost.h"

#include <filesystem>
#include <string>

namespace crosscheck {

using gost::Bytes;
using gost::ByteView;

// A folder of its own under the system's temporary folder, removed with the object.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The path of a file in the folder (as text for the shell; the folder has no blanks).
    std::string file(const std::string& name) const;

private:
    std::filesystem::path path_;
};

struct CommandResult {
    int status = -1;    // the exit status; -1 when the program did not exit normally
    std::string output; // standard output and error together
};

// Runs a shell command line (sh -c) and collects its output.
CommandResult run(const std::string& commandLine);

// Runs an openssl command with the gost engine loaded: `openssl VERB -engine gost ARGS`.
// Throws std::runtime_error with the command and its output when it fails.
std::string openssl(const std::string& verb, const std::string& arguments,
                    const std::string& environment = {});

// Whether openssl and its gost engine can be run at all.
bool gostEngineAvailable();

void writeFile(const std::string& path, ByteView bytes);
void writeText(const std::string& path, const std::string& text);
Bytes readFile(const std::string& path);

std::string hex(ByteView bytes);

} // namespace crosscheck
