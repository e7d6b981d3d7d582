// Hostile-input tests of the byte-level parsers: an input shaped to make a parser work
// hardest is parsed at 256 KiB and at 16 MiB, and the larger may cost no more than 16
// times 64 times the smaller, in processor time of the thread (which a busy machine does
// not inflate). Linear work passes at any machine speed, under the sanitizers and with
// the caches' and the allocator's effects; quadratic work (4096 times) does not.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

inline constexpr size_t kHostileSize = size_t{16} << 20;

// Processor seconds `work` takes on this thread, once.
template <typename Work>
double SecondsFor(Work&& work)
{
    timespec start = {}, end = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    work();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return static_cast<double>(end.tv_sec - start.tv_sec) + static_cast<double>(end.tv_nsec - start.tv_nsec) * 1e-9;
}

// `size` bytes of `pattern` repeated.
inline std::vector<uint8_t> Repeated(std::initializer_list<uint8_t> pattern, size_t size)
{
    std::vector<uint8_t> bytes(size);
    const size_t unit = std::min(pattern.size(), size);
    std::memcpy(bytes.data(), pattern.begin(), unit);
    for (size_t filled = unit; filled < size; filled *= 2)
        std::memcpy(bytes.data() + filled, bytes.data(), std::min(filled, size - filled));
    return bytes;
}

// `parse(make(size))` at `size` / 64 and at `size`: the larger may cost 16 × 64 times the
// smaller (the best of three), plus 50 ms for the timer and the allocator.
template <typename Make, typename Parse>
void ExpectLinear(Make&& make, Parse&& parse, size_t size = kHostileSize)
{
    const auto small = make(size / 64);
    double smallSeconds = 1e9;
    for (int round = 0; round < 3; ++round) smallSeconds = std::min(smallSeconds, SecondsFor([&] { parse(small); }));
    const auto large = make(size);
    const double largeSeconds = SecondsFor([&] { parse(large); });
    EXPECT_LT(largeSeconds, 16 * 64 * smallSeconds + 0.05)
        << "1/64 of the input took " << smallSeconds << " s, all of it " << largeSeconds << " s";
}
