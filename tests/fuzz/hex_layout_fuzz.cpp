// Fuzz target: for any data size, bytes per line and pair of positions, the selected byte
// range lies inside the data with start ≤ end, a line's text is exactly as wide as its
// width says, word steps and pointer positions stay inside the line and 0 ... line count,
// and the copied text's length matches the text built line by line.
#include "viewers/bytes/HexLayout.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

template <typename T>
T Take(const uint8_t*& data, size_t& size)
{
    T value{};
    const size_t n = size < sizeof value ? size : sizeof value;
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int perLine[] = {16, 32, 64, 1, 7};
    const int bytesPerLine = perLine[Take<uint8_t>(data, size) % 5];
    uint64_t dataSize = Take<uint64_t>(data, size);
    // Small sizes often, so that whole selections can be built and compared.
    if (Take<uint8_t>(data, size) & 1) dataSize %= 4096;
    const uint64_t lineCount = HexLineCount(dataSize, bytesPerLine);
    auto position = [&] {
        uint64_t line = Take<uint64_t>(data, size);
        if (lineCount < UINT64_MAX) line %= lineCount + 1;
        const int width = HexLineWidth(dataSize, bytesPerLine, line);
        const int column = width ? static_cast<int>(Take<uint16_t>(data, size) % (width + 1)) : 0;
        return HexPos{line, column};
    };
    const auto [start, end] = NormaliseHexSelection(position(), position());
    if (end < start) std::abort();

    const HexByteRange range = HexSelectedByteRange(dataSize, bytesPerLine, start, end);
    if (range.begin > range.end || range.end > dataSize) std::abort();

    const int digits = HexOffsetDigits(dataSize);
    const uint8_t* bytes = data;
    const int available = static_cast<int>(size < static_cast<size_t>(bytesPerLine) ? size : bytesPerLine);
    const int onLine = HexBytesOnLine(dataSize, bytesPerLine, start.line);
    if (onLine > 0 && onLine <= available) {
        const std::wstring text = FormatHexLine(start.line * bytesPerLine, digits, bytesPerLine, bytes, onLine);
        const int width = HexLineWidth(dataSize, bytesPerLine, start.line);
        if (static_cast<int>(text.size()) != width || width > HexFullLineWidth(digits, bytesPerLine)) std::abort();
        const int left = HexWordLeftColumn(text, start.column);
        const int right = HexWordRightColumn(text, start.column);
        if (left < 0 || left > start.column || right < start.column || right > width) std::abort();
    }

    const int y = Take<int32_t>(data, size), x = Take<int32_t>(data, size);
    const uint64_t top = lineCount ? Take<uint64_t>(data, size) % lineCount : 0;
    const uint64_t line = HexLineAtY(top, y, 2, 12, lineCount);
    if (line > lineCount) std::abort();
    const int width = HexLineWidth(dataSize, bytesPerLine, line);
    const int column = HexColumnAtX(Take<uint16_t>(data, size), x, 3, 6, x & 1, width);
    if (column < 0 || column > width) std::abort();

    // Build the copied text of short selections and compare its length with the count.
    const uint64_t length = HexSelectionTextLength(dataSize, bytesPerLine, start, end);
    if (end.line - start.line < 64) {
        uint64_t built = 0;
        const uint8_t zeros[64] = {};
        // Counted with a break: the end line may be the last 64-bit index.
        for (uint64_t l = start.line;; ++l) {
            const int n = HexBytesOnLine(dataSize, bytesPerLine, l);
            const std::wstring text =
                n ? FormatHexLine(l * bytesPerLine, digits, bytesPerLine, zeros, n) : std::wstring();
            const HexColumnSpan span = HexSelectedColumns(static_cast<int>(text.size()), l, start, end);
            built += static_cast<uint64_t>(span.to - span.from) + (l < end.line ? 2 : 0);
            if (l == end.line) break;
        }
        if (built != length) std::abort();
    }
    return 0;
}
