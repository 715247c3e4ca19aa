// Whole-file input and output against a plain read/write loop on the same file, in one run.
// Usage: fileio_bench [FOLDER] [MEBIBYTES]   (defaults: the temporary folder, 1024)
// Prints the throughput ratios (target: at least 0.9) and the read's peak memory over the
// file size (target: at most 16 MiB).
#include "support/FileIo.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsOf(auto&& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The plain loop a careful program would write: size first, one buffer, large reads.
Bytes plainRead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    struct stat st {};
    ::fstat(fd, &st);
    Bytes data(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return data;
}

// Written and flushed to the disk, as writeFile does before it replaces the target.
void plainWrite(const std::string& path, const Bytes& data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ::fsync(fd);
    ::close(fd);
}

long statusKib(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::atol(line.c_str() + std::string(field).size());
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    const std::size_t mebibytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1024;
    const std::size_t size = mebibytes << 20;
    const std::string ours = (folder / "fileio-bench-ours.bin").string();
    const std::string plain = (folder / "fileio-bench-plain.bin").string();

    Bytes data(size);
    for (std::size_t i = 0; i < size; i += 4096) {
        data[i] = static_cast<unsigned char>(i >> 12);
    }

    double writeOurs = 1e9, writePlain = 1e9, readOurs = 1e9, readPlain = 1e9;
    long peakOverSizeKib = 0;
    // The best of several rounds, the order alternating, so that page-cache writeback left
    // over from one side does not land on the other.
    for (int round = 0; round < 6; ++round) {
        if (round % 2 == 0) {
            writePlain = std::min(writePlain, secondsOf([&] { plainWrite(plain, data); }));
            writeOurs = std::min(writeOurs, secondsOf([&] { writeFile(ours, data); }));
        } else {
            writeOurs = std::min(writeOurs, secondsOf([&] { writeFile(ours, data); }));
            writePlain = std::min(writePlain, secondsOf([&] { plainWrite(plain, data); }));
        }
        readPlain = std::min(readPlain, secondsOf([&] { plainRead(plain); }));

        std::ofstream("/proc/self/clear_refs") << "5"; // restart the peak at the current size
        const long before = statusKib("VmRSS:");
        Bytes back;
        readOurs = std::min(readOurs, secondsOf([&] { back = readFile(ours); }));
        const long peak = statusKib("VmHWM:");
        peakOverSizeKib = std::max(peakOverSizeKib, peak - before - static_cast<long>(size >> 10));
        if (back != data) {
            std::fprintf(stderr, "read back differs from what was written\n");
            return 1;
        }
    }
    std::filesystem::remove(ours);
    std::filesystem::remove(plain);

    std::printf("file size            %zu MiB\n", mebibytes);
    std::printf("write  plain %.3f s  writeFile %.3f s  ratio %.2f (target >= 0.9)\n", writePlain,
                writeOurs, writePlain / writeOurs);
    std::printf("read   plain %.3f s  readFile  %.3f s  ratio %.2f (target >= 0.9)\n", readPlain,
                readOurs, readPlain / readOurs);
    std::printf("read peak memory over the file size: %ld KiB (target <= 16384)\n",
                peakOverSizeKib);
    return 0;
}
