// The machine type of a file named like the module comes from its PE header; a file on the
// search path may be anything, so a header that points outside what was read is no header.
#include "check/LoadFailure.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// "MZ", the PE header's offset at 0x3C, and at that offset "PE\0\0" and the machine field.
std::vector<unsigned char> image(std::uint32_t offset, std::uint16_t machine, std::size_t size) {
    std::vector<unsigned char> bytes(size, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (int i = 0; i < 4; ++i) {
        bytes[0x3C + i] = static_cast<unsigned char>(offset >> (8 * i));
    }
    const unsigned char header[] = {'P',
                                    'E',
                                    0,
                                    0,
                                    static_cast<unsigned char>(machine),
                                    static_cast<unsigned char>(machine >> 8)};
    for (std::size_t i = 0; i < sizeof header && offset + i < size; ++i) {
        bytes[offset + i] = header[i];
    }
    return bytes;
}

TEST(PeHeader, NamesTheMachineOnlyWhenTheWholeHeaderWasRead) {
    const auto x86 = image(0x80, check::kMachineX86, 0x200);
    EXPECT_EQ(check::peMachine(x86.data(), x86.size()), check::kMachineX86);
    // The machine field's last byte is the last byte read.
    const auto atEnd = image(0x1FA, check::kMachineX64, 0x200);
    EXPECT_EQ(check::peMachine(atEnd.data(), atEnd.size()), check::kMachineX64);

    const auto cut = image(0x1FB, check::kMachineX64, 0x200);
    EXPECT_EQ(check::peMachine(cut.data(), cut.size()), std::nullopt);
    const auto far = image(0xFFFFFFF0u, check::kMachineX64, 0x200);
    EXPECT_EQ(check::peMachine(far.data(), far.size()), std::nullopt);
    auto notMz = x86;
    notMz[0] = 'Z';
    EXPECT_EQ(check::peMachine(notMz.data(), notMz.size()), std::nullopt);
    EXPECT_EQ(check::peMachine(x86.data(), 0x3F), std::nullopt);
}

} // namespace
