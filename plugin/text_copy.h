// Bounded text copy for buffers handed over by the host.
#pragma once

#include <cstdint>

// Copies `text` up to and including its terminating zero, never more than `length` bytes, and
// fills the rest of the buffer with zeros. A text that fills the buffer gets no terminator.
// A null buffer or a length of 0 or less writes nothing; a null text copies as empty.
void BoundedCopy(char* buffer, std::int32_t length, const char* text) noexcept;
