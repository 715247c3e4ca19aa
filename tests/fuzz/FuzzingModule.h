// The fuzzing module: a stand-in for the token maker's module, found by the loader like any
// module (its file has the module's name, in a folder of its own), whose every answer is taken
// from the fuzz input. Besides the two list entry points it exports the two functions below,
// which the fuzz target finds by name.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
// Starts a new run: forgets every call before and answers from these bytes, which must stay
// valid until the next start.
using FuzzModuleAnswerWith = void (*)(const std::uint8_t* data, std::size_t size);
// The next byte of the same input, for the choices of the program that drives the module.
using FuzzModuleChoice = std::uint8_t (*)();
}

inline constexpr const char* kFuzzModuleAnswerWith = "fuzzModuleAnswerWith";
inline constexpr const char* kFuzzModuleChoice = "fuzzModuleChoice";
