// Bounded text copy for buffers handed over by the host.
#include "plugin/text_copy.h"

void BoundedCopy(char* buffer, std::int32_t length, const char* text) noexcept {
    if (buffer == nullptr || length <= 0) return;
    std::int32_t i = 0;
    if (text != nullptr) {
        for (; i < length && text[i] != '\0'; ++i) buffer[i] = text[i];
    }
    for (; i < length; ++i) buffer[i] = '\0';
}
