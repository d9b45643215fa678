// MD5 as RFC 1321 defines it: 64-byte blocks of four rounds of sixteen steps each.
#include "imageio/md5.h"

#include <cstring>

namespace imageio {
namespace {

// The left rotations of each round's four steps, and the additive constants, floor(2^32 ×
// |sin(i + 1)|).
constexpr std::uint32_t kShifts[4][4] = {
    {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
constexpr std::uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
static_assert(sizeof kSines / sizeof kSines[0] == 64);

[[nodiscard]] constexpr std::uint32_t Rotate(std::uint32_t value, std::uint32_t bits) noexcept {
    return value << bits | value >> (32 - bits);
}

void AddBlock(std::uint32_t state[4], const std::uint8_t* block) noexcept {
    std::uint32_t words[16];
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t* at = block + 4 * i;
        words[i] = std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
                   std::uint32_t{at[3]} << 24;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (std::uint32_t step = 0; step < 64; ++step) {
        const std::uint32_t round = step / 16;
        std::uint32_t mix = 0;
        std::uint32_t word = 0;
        if (round == 0) {
            mix = (b & c) | (~b & d);
            word = step;
        } else if (round == 1) {
            mix = (d & b) | (~d & c);
            word = (5 * step + 1) % 16;
        } else if (round == 2) {
            mix = b ^ c ^ d;
            word = (3 * step + 5) % 16;
        } else {
            mix = c ^ (b | ~d);
            word = (7 * step) % 16;
        }
        const std::uint32_t next =
            b + Rotate(a + mix + kSines[step] + words[word], kShifts[round][step % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

std::array<std::uint8_t, 16> Md5(const std::uint8_t* data, std::size_t size) {
    std::uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    std::size_t whole = size / 64 * 64;
    for (std::size_t at = 0; at < whole; at += 64) AddBlock(state, data + at);
    // The tail, a 1 bit, zeros to 56 bytes of a block, and the length in bits, low byte first.
    std::uint8_t tail[128] = {};
    const std::size_t rest = size - whole;
    if (rest > 0) std::memcpy(tail, data + whole, rest);
    tail[rest] = 0x80;
    const std::size_t tailSize = rest < 56 ? 64 : 128;
    const std::uint64_t bits = static_cast<std::uint64_t>(size) * 8;
    for (int i = 0; i < 8; ++i) {
        tail[tailSize - 8 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(bits >> (8 * i));
    }
    for (std::size_t at = 0; at < tailSize; at += 64) AddBlock(state, tail + at);
    std::array<std::uint8_t, 16> digest{};
    for (std::size_t i = 0; i < 16; ++i) {
        digest[i] = static_cast<std::uint8_t>(state[i / 4] >> (8 * (i % 4)));
    }
    return digest;
}

std::string Md5Hex(const std::string& text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (std::uint8_t byte : Md5(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

}  // namespace imageio
