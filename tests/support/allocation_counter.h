// Counts the bytes a test program asks operator new for, so tests can bound a reader's
// memory by counting instead of timing or running out of it.
#pragma once
#include <cstddef>

namespace tarkeep::test {

// Bytes requested through operator new since the program started (all threads).
std::size_t bytes_allocated();

// The bytes `run` asks for.
template <class Run>
std::size_t bytes_allocated_by(Run&& run) {
    const std::size_t before = bytes_allocated();
    run();
    return bytes_allocated() - before;
}

}  // namespace tarkeep::test
