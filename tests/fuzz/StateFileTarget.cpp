// The software token's state file: any bytes are refused with a reason, or loaded; a loaded
// state saves, loads again as the same state, gives each token a new object handle that is
// neither 0 nor taken, and its faults parse or are refused as C_Initialize refuses them. Any
// other exception ends the run as uncaught.
#include "FuzzInput.h"
#include "ScratchFolder.h"
#include "emulator/core/Faults.h"
#include "emulator/core/StateFile.h"

#include <fstream>
#include <pthread.h>
#include <stdexcept>

namespace {

void loadSaveAndLoad(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder folder("fuzz-state-file");
    static const std::string path = folder.file("state.json");
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    emulator::State state;
    try {
        state = emulator::loadState(path);
    } catch (const emulator::StateFileError& error) {
        if (*error.what() == '\0') {
            finding("a state file refused without a reason");
        }
        return;
    }
    try {
        emulator::saveState(path, state);
    } catch (const emulator::StateFileError& error) {
        finding("a state that loads does not save", error.what());
    }
    const emulator::State again = emulator::loadState(path);
    if (again.slots != state.slots || again.faults != state.faults) {
        finding("a saved state loads as another state");
    }
    // What qrd-token gives the next key it makes.
    for (const std::optional<emulator::TokenState>& token : state.slots) {
        const std::uint32_t next = token ? token->nextHandle() : 1;
        if (next == 0 || (token && token->findObject(next) != nullptr)) {
            finding("a new object handle is 0 or taken");
        }
    }
    try {
        emulator::parseFaults(state.faults);
    } catch (const std::invalid_argument&) {
        // C_Initialize answers CKR_DEVICE_ERROR for faults it cannot read.
    }
}

// The software token reads the state file on its caller's thread, and a Windows program's
// main thread has 1 MiB of stack: the run uses a thread of that size, where recursion as deep
// as the input goes shows at the lengths libFuzzer tries.
template <typename Work>
void onThreadOfOneMebibyte(Work& work) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 1 << 20);
    pthread_t thread;
    const auto start = [](void* argument) -> void* {
        (*static_cast<Work*>(argument))();
        return nullptr;
    };
    if (pthread_create(&thread, &attributes, start, &work) != 0) {
        finding("no thread for the run");
    }
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto work = [&] { loadSaveAndLoad(data, size); };
    onThreadOfOneMebibyte(work);
    return 0;
}
