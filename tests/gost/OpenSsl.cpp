#include "tests/gost/OpenSsl.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace crosscheck {

ScratchFolder::ScratchFolder() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    path_ =
        fs::temp_directory_path() / ("qrd-crosscheck-" + std::to_string(getpid()) + "-" +
                                     std::to_string(counter++) + "-" + std::to_string(random()));
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored; // a folder left behind is harmless; the test result matters
    fs::remove_all(path_, ignored);
}

std::string ScratchFolder::file(const std::string& name) const {
    return (path_ / name).string();
}

CommandResult run(const std::string& commandLine) {
    CommandResult result;
    FILE* pipe = popen((commandLine + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        throw std::runtime_error("cannot start: " + commandLine);
    }
    std::array<char, 4096> buffer{};
    std::size_t count = 0;
    while ((count = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.output.append(buffer.data(), count);
    }
    const int status = pclose(pipe);
    result.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string openssl(const std::string& verb, const std::string& arguments,
                    const std::string& environment) {
    const std::string commandLine = (environment.empty() ? "" : environment + " ") + "openssl " +
                                    verb + " -engine gost " + arguments;
    CommandResult result = run(commandLine);
    if (result.status != 0) {
        throw std::runtime_error(commandLine + " failed (" + std::to_string(result.status) +
                                 "):\n" + result.output);
    }
    return result.output;
}

bool gostEngineAvailable() {
    return run("openssl engine gost -c").status == 0;
}

void writeFile(const std::string& path, ByteView bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

void writeText(const std::string& path, const std::string& text) {
    writeFile(path, ByteView(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string hex(ByteView bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

} // namespace crosscheck
