// Every decoder over adversarial blocks of 1 MiB and 16 MiB: the median time of each and
// the ratio 16 MiB / 1 MiB, which stays near 16 when the decoder is linear in its input.
// The blocks: zeros, 0xFF, a repeated small record (0x01 0x00), and bytes that look like
// the decoder's own structure repeated (an "HTML Format" header line, PNG chunk heads,
// RTF braces, pickle strings).
#include "decoders/Decoders.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Pattern(size_t size, const std::string& unit)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(unit[i % unit.size()]);
    return bytes;
}

double Seconds(const DecoderInfo& decoder, const std::vector<uint8_t>& bytes)
{
    std::vector<double> times;
    for (int round = 0; round < 3; ++round) {
        DecodeInput input;
        input.data = bytes.data();
        input.size = bytes.size();
        const auto start = std::chrono::steady_clock::now();
        DecodedTree tree = RunDecoder(decoder, input);
        CountWarnings(tree);
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

}  // namespace

int wmain()
{
    const std::vector<std::pair<const char*, std::string>> patterns = {
        {"zeros", std::string(1, '\0')},
        {"ff", std::string(1, '\xff')},
        {"0100", std::string("\x01\x00", 2)},
        {"html", "StartHTML:1\r\n"},
        {"png", std::string("\x89PNG\r\n\x1a\n\0\0\0\0IDAT\0\0\0\0", 20)},
        {"rtf", "{\\rtf1{\\fonttbl{\\f0 a;}"},
        {"pickle", std::string("\x01\0\0\0a\0\0\0", 8)},
    };
    double worst = 0;
    for (const DecoderInfo* decoder : AllDecoders()) {
        for (const auto& [name, unit] : patterns) {
            const double small = Seconds(*decoder, Pattern(1u << 20, unit));
            const double large = Seconds(*decoder, Pattern(16u << 20, unit));
            const double ratio = small > 0 ? large / small : 0;
            worst = std::max(worst, large);
            if (large > 0.05)
                std::printf("%-22s %-7s 1 MiB %8.4f s  16 MiB %8.4f s  ratio %5.1f\n", decoder->name, name, small,
                            large, ratio);
        }
    }
    std::printf("slowest 16 MiB decode: %.3f s (pairs under 0.05 s at 16 MiB not listed)\n", worst);
    return 0;
}
