// A test tone as a WAV file, for media tests and benchmarks.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace orbiq::test {

// seconds of a 440 Hz tone as 16-bit mono PCM WAV at the given rate.
inline std::string ToneWav(double seconds, uint32_t rate = 8000) {
    const uint32_t samples = static_cast<uint32_t>(seconds * rate);
    std::string out;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xff); };
    auto u16 = [&](uint16_t v) { out += static_cast<char>(v & 0xff); out += static_cast<char>(v >> 8); };
    out += "RIFF";
    u32(36 + samples * 2);
    out += "WAVEfmt ";
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    out += "data";
    u32(samples * 2);
    for (uint32_t i = 0; i < samples; ++i)
        u16(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440.0 * i / rate))));
    return out;
}

}  // namespace orbiq::test
