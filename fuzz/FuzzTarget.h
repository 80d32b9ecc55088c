#pragma once
// Every fuzz target defines the one libFuzzer entry point. Built with clang and
// -fsanitize=fuzzer it is a fuzzer (`make fuzz`); built with ReplayMain.cpp by any
// compiler it replays the committed corpus under CTest, so the inputs that once broke a
// reader (kept in the corpus) keep being read on every `make test`.
//
// A target returns 0 and lets the code under test decide everything; it aborts only
// when a promise of that code is broken (a decoded picture that is not well formed, a
// quoted word that does not read back as itself), which the fuzzer reports as a crash.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Reports a broken promise and aborts, so that the fuzzer keeps the input.
#define FUZZ_REQUIRE(condition)                                                                  \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                        \
        }                                                                                        \
    } while (0)
