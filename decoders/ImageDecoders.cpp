// Pictures: device-independent bitmaps (CF_DIB, CF_DIBV5 and .bmp files), PNG, JPEG and GIF.
#include "decoders/DecodeSupport.h"

#include <algorithm>
#include <cstring>

namespace {

const char* CompressionName(uint32_t compression)
{
    switch (compression) {
        case 0:
            return "BI_RGB";
        case 1:
            return "BI_RLE8";
        case 2:
            return "BI_RLE4";
        case 3:
            return "BI_BITFIELDS";
        case 4:
            return "BI_JPEG";
        case 5:
            return "BI_PNG";
        case 6:
            return "BI_ALPHABITFIELDS";
        case 11:
            return "BI_CMYK";
        case 12:
            return "BI_CMYKRLE8";
        case 13:
            return "BI_CMYKRLE4";
        default:
            return nullptr;
    }
}

std::string ColorSpaceName(uint32_t type)
{
    switch (type) {
        case 0:
            return "LCS_CALIBRATED_RGB";
        case 0x73524742:
            return "LCS_sRGB";
        case 0x57696E20:
            return "LCS_WINDOWS_COLOR_SPACE";
        case 0x4C494E4B:
            return "PROFILE_LINKED";
        case 0x4D424544:
            return "PROFILE_EMBEDDED";
        default:
            return std::string();
    }
}

// The DIB at `base` (its header first) as fields; `end` is where its bytes end.
void DecodeDibAt(const DecodeInput& input, size_t base, DecodedTree& tree)
{
    const ByteView view{input.data, input.size};
    if (!view.Has(base, 4)) {
        tree.warnings.push_back("biSize (4 バイト) に足りません");
        return;
    }
    const uint32_t headerSize = view.U32(base);
    DecodedField sizeField = MakeField("biSize", base, 4, Dec(headerSize));
    const bool core = headerSize == 12;
    switch (headerSize) {
        case 12:
            sizeField.meaning = "BITMAPCOREHEADER";
            break;
        case 40:
            sizeField.meaning = "BITMAPINFOHEADER";
            break;
        case 52:
            sizeField.meaning = "BITMAPV2INFOHEADER";
            break;
        case 56:
            sizeField.meaning = "BITMAPV3INFOHEADER";
            break;
        case 64:
            sizeField.meaning = "OS22XBITMAPHEADER";
            break;
        case 108:
            sizeField.meaning = "BITMAPV4HEADER";
            break;
        case 124:
            sizeField.meaning = "BITMAPV5HEADER";
            break;
        default:
            sizeField.warnings.push_back("知られていないヘッダーの大きさです");
            break;
    }
    if (!view.Has(base, headerSize) || headerSize < 12) {
        sizeField.warnings.push_back("ヘッダーがデータに入りきりません (データは " + Dec(view.size - base) +
                                     " バイト)");
        tree.fields.push_back(std::move(sizeField));
        return;
    }
    tree.fields.push_back(std::move(sizeField));

    int64_t width = 0, height = 0;
    uint32_t planes = 0, bitCount = 0, compression = 0, sizeImage = 0, clrUsed = 0;
    if (core) {
        width = view.U16(base + 4);
        height = view.U16(base + 6);
        planes = view.U16(base + 8);
        bitCount = view.U16(base + 10);
        tree.fields.push_back(MakeField("bcWidth", base + 4, 2, Dec(width)));
        tree.fields.push_back(MakeField("bcHeight", base + 6, 2, Dec(height)));
        tree.fields.push_back(MakeField("bcPlanes", base + 8, 2, Dec(planes)));
        tree.fields.push_back(MakeField("bcBitCount", base + 10, 2, Dec(bitCount)));
    } else {
        if (headerSize < 40) {
            tree.warnings.push_back("BITMAPINFOHEADER (40 バイト) より短いヘッダーです");
            return;
        }
        width = view.I32(base + 4);
        height = view.I32(base + 8);
        planes = view.U16(base + 12);
        bitCount = view.U16(base + 14);
        compression = view.U32(base + 16);
        sizeImage = view.U32(base + 20);
        clrUsed = view.U32(base + 32);
        DecodedField w = MakeField("biWidth", base + 4, 4, DecSigned(width), "幅");
        if (width <= 0) w.warnings.push_back("幅が正ではありません");
        tree.fields.push_back(std::move(w));
        DecodedField h = MakeField("biHeight", base + 8, 4, DecSigned(height),
                                   height < 0 ? "高さ (負: 上の行から)" : "高さ (下の行から)");
        if (height == 0) h.warnings.push_back("高さが 0 です");
        tree.fields.push_back(std::move(h));
    }
    {
        DecodedField p = MakeField(core ? "" : "biPlanes", base + (core ? 8 : 12), 2, Dec(planes));
        if (!core) {
            if (planes != 1) p.warnings.push_back("1 のはずです");
            tree.fields.push_back(std::move(p));
        } else if (planes != 1) {
            tree.fields[tree.fields.size() - 2].warnings.push_back("1 のはずです");
        }
    }
    if (!core) {
        DecodedField b = MakeField("biBitCount", base + 14, 2, Dec(bitCount), "1 ピクセルのビット数");
        if (bitCount != 0 && bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
            bitCount != 32)
            b.warnings.push_back("1, 4, 8, 16, 24, 32 のどれかのはずです");
        tree.fields.push_back(std::move(b));
        const char* name = CompressionName(compression);
        DecodedField c = MakeField("biCompression", base + 16, 4, Dec(compression), name ? name : "");
        if (!name) c.warnings.push_back("知られていない圧縮です");
        if ((compression == 1 && bitCount != 8) || (compression == 2 && bitCount != 4))
            c.warnings.push_back("biBitCount と合いません");
        if (compression == 3 && bitCount != 16 && bitCount != 32)
            c.warnings.push_back("BI_BITFIELDS は 16 か 32 ビットだけです");
        tree.fields.push_back(std::move(c));
    }
    const uint64_t absHeight = static_cast<uint64_t>(height < 0 ? -height : height);
    const bool uncompressed = core || compression == 0 || compression == 3 || compression == 6;
    const uint64_t stride = width > 0 ? (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4 : 0;
    const uint64_t impliedBits = uncompressed ? stride * absHeight : sizeImage;
    if (!core) {
        DecodedField s = MakeField("biSizeImage", base + 20, 4, Dec(sizeImage), "ピクセルのバイト数");
        if (uncompressed && sizeImage != 0 && sizeImage != impliedBits)
            s.warnings.push_back("幅と高さからは " + Dec(impliedBits) + " バイトのはずです");
        if (!uncompressed && sizeImage == 0) s.warnings.push_back("圧縮したピクセルでは 0 にできません");
        tree.fields.push_back(std::move(s));
        tree.fields.push_back(MakeField("biXPelsPerMeter", base + 24, 4, DecSigned(view.I32(base + 24))));
        tree.fields.push_back(MakeField("biYPelsPerMeter", base + 28, 4, DecSigned(view.I32(base + 28))));
        DecodedField u = MakeField("biClrUsed", base + 32, 4, Dec(clrUsed), "カラーテーブルの色数 (0: ビット数から)");
        if (bitCount <= 8 && bitCount > 0 && clrUsed > (1u << bitCount))
            u.warnings.push_back(Dec(1u << bitCount) + " 色より多く指定しています");
        tree.fields.push_back(std::move(u));
        tree.fields.push_back(MakeField("biClrImportant", base + 36, 4, Dec(view.U32(base + 36))));
    }

    // V2 to V5: masks, colour space, end points, gamma, intent and profile.
    if (headerSize >= 52) {
        const char* const masks[] = {"bV5RedMask", "bV5GreenMask", "bV5BlueMask", "bV5AlphaMask"};
        for (int i = 0; i < 4 && 40 + 4 * i + 4 <= static_cast<int>(headerSize); ++i)
            tree.fields.push_back(MakeField(masks[i], base + 40 + 4 * i, 4, Dec(view.U32(base + 40 + 4 * i)),
                                            Hex(view.U32(base + 40 + 4 * i), 8)));
    }
    uint32_t csType = 0;
    if (headerSize >= 108) {
        csType = view.U32(base + 56);
        const std::string name = ColorSpaceName(csType);
        DecodedField cs = MakeField("bV5CSType", base + 56, 4, Dec(csType), name);
        if (name.empty()) cs.warnings.push_back("知られていない色空間です");
        if (headerSize < 124 && (csType == 0x4C494E4B || csType == 0x4D424544))
            cs.warnings.push_back("プロファイルは BITMAPV5HEADER だけのものです");
        tree.fields.push_back(std::move(cs));
        tree.fields.push_back(
            MakeField("bV5Endpoints", base + 60, 36, HexBytes(view.data + base + 60, 36, 12), "CIEXYZTRIPLE"));
        const char* const gamma[] = {"bV5GammaRed", "bV5GammaGreen", "bV5GammaBlue"};
        for (int i = 0; i < 3; ++i) {
            const uint32_t g = view.U32(base + 96 + 4 * i);
            DecodedField field = MakeField(gamma[i], base + 96 + 4 * i, 4, Dec(g), "16.16 固定小数点");
            tree.fields.push_back(std::move(field));
        }
    }
    uint64_t profileEnd = 0;
    if (headerSize >= 124) {
        const uint32_t intent = view.U32(base + 108);
        static const char* const intents[] = {nullptr, "LCS_GM_BUSINESS", "LCS_GM_GRAPHICS",
                                              nullptr, "LCS_GM_IMAGES",   nullptr,
                                              nullptr, nullptr,           "LCS_GM_ABS_COLORIMETRIC"};
        tree.fields.push_back(
            MakeField("bV5Intent", base + 108, 4, Dec(intent), intent < 9 && intents[intent] ? intents[intent] : ""));
        const uint32_t profileData = view.U32(base + 112), profileSize = view.U32(base + 116);
        DecodedField pd =
            MakeField("bV5ProfileData", base + 112, 4, Dec(profileData), "ヘッダーの先頭からのオフセット");
        DecodedField ps = MakeField("bV5ProfileSize", base + 116, 4, Dec(profileSize));
        const bool hasProfile = csType == 0x4C494E4B || csType == 0x4D424544;
        if (hasProfile) {
            if (!view.Has(base + static_cast<uint64_t>(profileData), profileSize))
                pd.warnings.push_back("プロファイルがデータの外にあります");
            else
                profileEnd = static_cast<uint64_t>(profileData) + profileSize;
            if (profileSize == 0) ps.warnings.push_back("プロファイルの大きさが 0 です");
        } else if (profileData || profileSize) {
            pd.meaning = "無効 (bV5CSType にプロファイルがありません)";
        }
        tree.fields.push_back(std::move(pd));
        tree.fields.push_back(std::move(ps));
        tree.fields.push_back(MakeField("bV5Reserved", base + 120, 4, Dec(view.U32(base + 120))));
    }

    // The colour table (and the masks after a 40-byte header), then the pixels.
    uint64_t tableEntries = 0;
    if (bitCount <= 8 && bitCount > 0)
        tableEntries = clrUsed ? clrUsed : (1u << bitCount);
    else if (!core)
        tableEntries = clrUsed;
    const uint64_t entrySize = core ? 3 : 4;
    uint64_t pos = base + headerSize;
    if (headerSize == 40 && (compression == 3 || compression == 6)) {
        const int count = compression == 3 ? 3 : 4;
        const char* const masks[] = {"RedMask", "GreenMask", "BlueMask", "AlphaMask"};
        for (int i = 0; i < count; ++i, pos += 4) {
            if (!view.Has(pos, 4)) {
                tree.warnings.push_back("BI_BITFIELDS のマスクがデータに入りきりません");
                return;
            }
            tree.fields.push_back(MakeField(masks[i], pos, 4, Dec(view.U32(pos)), Hex(view.U32(pos), 8)));
        }
    }
    if (tableEntries) {
        const uint64_t tableSize = tableEntries * entrySize;
        DecodedField table = MakeField(core ? "bmciColors" : "bmiColors", pos, tableSize, Dec(tableEntries) + " 色",
                                       core ? "RGBTRIPLE の表" : "RGBQUAD の表");
        if (!view.Has(pos, tableSize)) {
            table.warnings.push_back("カラーテーブルがデータに入りきりません");
            table.size = view.size > pos ? view.size - pos : 0;
            tree.fields.push_back(std::move(table));
            return;
        }
        for (uint64_t i = 0; i < tableEntries && i < 256; ++i) {
            const size_t at = static_cast<size_t>(pos + i * entrySize);
            const uint8_t b = view.data[at], g = view.data[at + 1], r = view.data[at + 2];
            char text[16];
            std::snprintf(text, sizeof text, "#%02X%02X%02X", r, g, b);
            table.children.push_back(MakeField("[" + Dec(i) + "]", at, entrySize, text, "R G B"));
        }
        tree.fields.push_back(std::move(table));
        pos += tableSize;
    }
    const uint64_t available = view.size > pos ? view.size - pos : 0;
    DecodedField bits =
        MakeField("ピクセル", pos, std::min(impliedBits, available), Dec(impliedBits) + " バイト",
                  uncompressed ? "1 行 " + Dec(stride) + " バイト × " + Dec(absHeight) + " 行" : "圧縮されたピクセル");
    if (impliedBits > available)
        bits.warnings.push_back("ヘッダーからは " + Dec(impliedBits) + " バイトのはずですが、" + Dec(available) +
                                " バイトしかありません");
    tree.fields.push_back(std::move(bits));
    const uint64_t end = std::max<uint64_t>(pos + std::min(impliedBits, available), profileEnd ? base + profileEnd : 0);
    if (end < view.size)
        tree.fields.push_back(MakeField("余り", end, view.size - end, Dec(view.size - end) + " バイト"));
}

}  // namespace

DecodedTree DecodeDib(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "BITMAPINFO";
    DecodeDibAt(input, 0, tree);
    return tree;
}

DecodedTree DecodeBmpFile(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "BMP";
    const ByteView view{input.data, input.size};
    if (!view.Has(0, 14)) {
        tree.warnings.push_back("BITMAPFILEHEADER (14 バイト) に足りません");
        return tree;
    }
    DecodedField type =
        MakeField("bfType", 0, 2, Dec(view.U16(0)), std::string(reinterpret_cast<const char*>(view.data), 2));
    if (view.data[0] != 'B' || view.data[1] != 'M') type.warnings.push_back("\"BM\" のはずです");
    tree.fields.push_back(std::move(type));
    DecodedField size = MakeField("bfSize", 2, 4, Dec(view.U32(2)), "ファイルの大きさ");
    if (view.U32(2) != view.size) size.warnings.push_back("ファイルは " + Dec(view.size) + " バイトです");
    tree.fields.push_back(std::move(size));
    tree.fields.push_back(MakeField("bfReserved1", 6, 2, Dec(view.U16(6))));
    tree.fields.push_back(MakeField("bfReserved2", 8, 2, Dec(view.U16(8))));
    DecodedField off = MakeField("bfOffBits", 10, 4, Dec(view.U32(10)), "ピクセルの位置");
    if (view.U32(10) > view.size) off.warnings.push_back("データの外を指しています");
    tree.fields.push_back(std::move(off));
    DecodeDibAt(input, 14, tree);
    return tree;
}

DecodedTree DecodePng(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "PNG";
    const ByteView view{input.data, input.size};
    static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!view.Has(0, 8)) {
        tree.warnings.push_back("PNG のシグネチャ (8 バイト) に足りません");
        return tree;
    }
    DecodedField signature = MakeField("シグネチャ", 0, 8, HexBytes(view.data, 8, 8));
    if (std::memcmp(view.data, kSignature, 8) != 0) {
        signature.warnings.push_back("PNG のシグネチャではありません");
        tree.fields.push_back(std::move(signature));
        return tree;
    }
    tree.fields.push_back(std::move(signature));
    FieldBudget budget;
    size_t pos = 8;
    bool ended = false;
    bool first = true;
    while (pos < view.size) {
        if (!budget.Take(6)) {
            tree.warnings.push_back(FieldBudget::Stopped(pos));
            return tree;
        }
        if (!view.Has(pos, 8)) {
            DecodedField rest = MakeField("余り", pos, view.size - pos, Dec(view.size - pos) + " バイト");
            rest.warnings.push_back("チャンクの頭 (8 バイト) に足りません");
            tree.fields.push_back(std::move(rest));
            break;
        }
        const uint32_t length = view.U32BE(pos);
        std::string type(reinterpret_cast<const char*>(view.data + pos + 4), 4);
        bool typeValid = true;
        for (char c : type)
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) typeValid = false;
        if (!typeValid) type = HexBytes(view.data + pos + 4, 4, 4);
        const bool whole = view.Has(pos + 8, static_cast<uint64_t>(length) + 4);
        DecodedField chunk =
            MakeField(type, pos, whole ? 12 + static_cast<uint64_t>(length) : view.size - pos, Dec(length) + " バイト");
        if (!typeValid) chunk.warnings.push_back("チャンクの型が英字 4 文字ではありません");
        if (first && type != "IHDR") chunk.warnings.push_back("最初のチャンクは IHDR のはずです");
        first = false;
        chunk.children.push_back(MakeField("length", pos, 4, Dec(length)));
        chunk.children.push_back(MakeField("type", pos + 4, 4, type));
        if (!whole) {
            chunk.warnings.push_back("チャンクがデータの外まで続いています (" + Dec(length) + " バイト)");
            tree.fields.push_back(std::move(chunk));
            break;
        }
        const uint32_t stored = view.U32BE(pos + 8 + length);
        const uint32_t computed = Crc32(view.data + pos + 4, static_cast<size_t>(length) + 4);
        if (type == "IHDR") {
            const size_t d = pos + 8;
            if (length != 13) {
                chunk.warnings.push_back("IHDR は 13 バイトのはずです");
            } else {
                const uint8_t depth = view.data[d + 8], color = view.data[d + 9];
                chunk.value = Dec(view.U32BE(d)) + " x " + Dec(view.U32BE(d + 4));
                DecodedField w = MakeField("Width", d, 4, Dec(view.U32BE(d)));
                DecodedField h = MakeField("Height", d + 4, 4, Dec(view.U32BE(d + 4)));
                if (view.U32BE(d) == 0 || view.U32BE(d) > 0x7FFFFFFF) w.warnings.push_back("1 から 2^31-1 のはずです");
                if (view.U32BE(d + 4) == 0 || view.U32BE(d + 4) > 0x7FFFFFFF)
                    h.warnings.push_back("1 から 2^31-1 のはずです");
                chunk.children.push_back(std::move(w));
                chunk.children.push_back(std::move(h));
                static const char* const colorNames[] = {"グレー",           nullptr, "RGB", "パレット",
                                                         "グレーとアルファ", nullptr, "RGBA"};
                DecodedField ct = MakeField("Colour type", d + 9, 1, Dec(color),
                                            color < 7 && colorNames[color] ? colorNames[color] : "");
                DecodedField bd = MakeField("Bit depth", d + 8, 1, Dec(depth));
                bool depthOk = false;
                switch (color) {
                    case 0:
                        depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
                        break;
                    case 3:
                        depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8;
                        break;
                    case 2:
                    case 4:
                    case 6:
                        depthOk = depth == 8 || depth == 16;
                        break;
                    default:
                        ct.warnings.push_back("知られていない色の型です");
                        depthOk = true;
                        break;
                }
                if (!depthOk) bd.warnings.push_back("この色の型には使えないビット深度です");
                chunk.children.push_back(std::move(bd));
                chunk.children.push_back(std::move(ct));
                const char* const names[] = {"Compression method", "Filter method", "Interlace method"};
                for (int i = 0; i < 3; ++i) {
                    const uint8_t v = view.data[d + 10 + i];
                    DecodedField f = MakeField(names[i], d + 10 + i, 1, Dec(v),
                                               i == 2 ? (v == 0   ? "なし"
                                                         : v == 1 ? "Adam7"
                                                                  : "")
                                                      : "");
                    if (v > (i == 2 ? 1 : 0)) f.warnings.push_back("定義されていない値です");
                    chunk.children.push_back(std::move(f));
                }
            }
        } else if (length) {
            chunk.children.push_back(MakeField("data", pos + 8, length, HexBytes(view.data + pos + 8, length, 16)));
        }
        DecodedField crc = MakeField("CRC", pos + 8 + length, 4, Hex(stored, 8));
        if (stored != computed) {
            crc.warnings.push_back("CRC が合いません (計算では " + Hex(computed, 8) + ")");
        } else {
            crc.meaning = "正しい";
        }
        chunk.children.push_back(std::move(crc));
        tree.fields.push_back(std::move(chunk));
        pos += 12 + static_cast<size_t>(length);
        if (type == "IEND") {
            ended = true;
            break;
        }
    }
    if (!ended) tree.warnings.push_back("IEND チャンクがありません");
    if (ended && pos < view.size) {
        size_t end = view.size;
        // Clipboard blocks are often rounded up with zeros.
        bool zeros = true;
        for (size_t i = pos; i < end; ++i)
            if (view.data[i]) zeros = false;
        DecodedField rest = MakeField("余り", pos, view.size - pos, Dec(view.size - pos) + " バイト",
                                      zeros ? "0 だけ" : "IEND の後ろのデータ");
        if (!zeros) rest.warnings.push_back("IEND の後ろにデータがあります");
        tree.fields.push_back(std::move(rest));
    }
    return tree;
}

namespace {

// The orientation tag (0x0112) of an EXIF APP1 segment's first image directory.
std::optional<uint16_t> ExifOrientation(const ByteView& view, size_t begin, size_t end)
{
    if (end - begin < 14 || std::memcmp(view.data + begin, "Exif\0\0", 6) != 0) return std::nullopt;
    const size_t tiff = begin + 6;
    const bool little = view.data[tiff] == 'I' && view.data[tiff + 1] == 'I';
    const bool big = view.data[tiff] == 'M' && view.data[tiff + 1] == 'M';
    if (!little && !big) return std::nullopt;
    auto u16 = [&](size_t at) { return little ? view.U16(at) : view.U16BE(at); };
    auto u32 = [&](size_t at) { return little ? view.U32(at) : view.U32BE(at); };
    const uint64_t ifd = tiff + static_cast<uint64_t>(u32(tiff + 4));
    if (ifd + 2 > end) return std::nullopt;
    const uint16_t count = u16(static_cast<size_t>(ifd));
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t entry = ifd + 2 + 12ull * i;
        if (entry + 12 > end) return std::nullopt;
        if (u16(static_cast<size_t>(entry)) == 0x0112) return u16(static_cast<size_t>(entry) + 8);
    }
    return std::nullopt;
}

const char* JpegMarkerName(uint8_t marker)
{
    switch (marker) {
        case 0xD8:
            return "SOI";
        case 0xD9:
            return "EOI";
        case 0xDA:
            return "SOS";
        case 0xDB:
            return "DQT";
        case 0xC4:
            return "DHT";
        case 0xDD:
            return "DRI";
        case 0xFE:
            return "COM";
        case 0xC0:
            return "SOF0";
        case 0xC1:
            return "SOF1";
        case 0xC2:
            return "SOF2";
        case 0xC3:
            return "SOF3";
        default:
            return nullptr;
    }
}

}  // namespace

DecodedTree DecodeJpeg(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "JPEG";
    const ByteView view{input.data, input.size};
    if (!view.Has(0, 2) || view.data[0] != 0xFF || view.data[1] != 0xD8) {
        tree.warnings.push_back("JPEG の SOI (FF D8) で始まっていません");
        return tree;
    }
    tree.fields.push_back(MakeField("SOI", 0, 2, "FF D8", "画像の始まり"));
    FieldBudget budget;
    size_t pos = 2;
    bool ended = false;
    while (pos < view.size) {
        if (!budget.Take()) {
            tree.warnings.push_back(FieldBudget::Stopped(pos));
            return tree;
        }
        if (!view.Has(pos, 2) || view.data[pos] != 0xFF) {
            tree.warnings.push_back("オフセット " + Dec(pos) + " にマーカーがありません");
            break;
        }
        const uint8_t marker = view.data[pos + 1];
        const char* known = JpegMarkerName(marker);
        std::string name = known                                ? known
                           : (marker >= 0xE0 && marker <= 0xEF) ? "APP" + Dec(marker - 0xE0u)
                                                                : "FF" + Hex(marker, 2).substr(2);
        if (marker == 0xD9) {
            tree.fields.push_back(MakeField("EOI", pos, 2, "FF D9", "画像の終わり"));
            pos += 2;
            ended = true;
            break;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            tree.fields.push_back(MakeField(name, pos, 2, ""));
            pos += 2;
            continue;
        }
        if (!view.Has(pos + 2, 2)) {
            tree.warnings.push_back(name + " の長さの前にデータが終わっています");
            break;
        }
        const uint16_t length = view.U16BE(pos + 2);
        DecodedField segment = MakeField(name, pos, 2 + static_cast<uint64_t>(length), Dec(length) + " バイト");
        if (length < 2 || !view.Has(pos + 2, length)) {
            segment.warnings.push_back("セグメントの長さがデータと合いません");
            segment.size = view.size - pos;
            tree.fields.push_back(std::move(segment));
            break;
        }
        const size_t body = pos + 4, bodyEnd = pos + 2 + length;
        if (marker == 0xE1) {
            if (const auto orientation = ExifOrientation(view, body, bodyEnd)) {
                static const char* const kOrientations[] = {"",          "そのまま",
                                                            "左右反転",  "180 度回転",
                                                            "上下反転",  "左右反転して 270 度回転",
                                                            "90 度回転", "左右反転して 90 度回転",
                                                            "270 度回転"};
                segment.children.push_back(MakeField("Orientation", body, bodyEnd - body, Dec(*orientation),
                                                     *orientation < 9 ? kOrientations[*orientation] : ""));
                segment.meaning = "EXIF";
            }
        }
        if ((marker >= 0xC0 && marker <= 0xC3) && length >= 8) {
            segment.children.push_back(MakeField("P", body, 1, Dec(view.data[body]), "サンプルのビット数"));
            segment.children.push_back(MakeField("Y", body + 1, 2, Dec(view.U16BE(body + 1)), "高さ"));
            segment.children.push_back(MakeField("X", body + 3, 2, Dec(view.U16BE(body + 3)), "幅"));
            segment.children.push_back(MakeField("Nf", body + 5, 1, Dec(view.data[body + 5]), "成分の数"));
        }
        tree.fields.push_back(std::move(segment));
        pos = bodyEnd;
        if (marker == 0xDA) {
            // Entropy-coded data runs to the next marker that is not a stuffed byte or a restart.
            size_t scan = pos;
            while (scan + 1 < view.size && !(view.data[scan] == 0xFF && view.data[scan + 1] != 0 &&
                                             !(view.data[scan + 1] >= 0xD0 && view.data[scan + 1] <= 0xD7)))
                ++scan;
            if (scan + 1 >= view.size) scan = view.size;
            tree.fields.push_back(MakeField("スキャンデータ", pos, scan - pos, Dec(scan - pos) + " バイト"));
            pos = scan;
        }
    }
    if (!ended) tree.warnings.push_back("EOI (FF D9) がありません");
    return tree;
}

DecodedTree DecodeGif(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "GIF";
    const ByteView view{input.data, input.size};
    if (!view.Has(0, 13)) {
        tree.warnings.push_back("GIF のヘッダー (13 バイト) に足りません");
        return tree;
    }
    const std::string signature(reinterpret_cast<const char*>(view.data), 6);
    DecodedField sig = MakeField("Signature", 0, 6, Shorten(signature, 6));
    if (signature != "GIF87a" && signature != "GIF89a") sig.warnings.push_back("GIF87a か GIF89a のはずです");
    tree.fields.push_back(std::move(sig));
    tree.fields.push_back(MakeField("Logical Screen Width", 6, 2, Dec(view.U16(6))));
    tree.fields.push_back(MakeField("Logical Screen Height", 8, 2, Dec(view.U16(8))));
    const uint8_t packed = view.data[10];
    const bool globalTable = packed & 0x80;
    const uint64_t tableSize = globalTable ? 3ull << ((packed & 7) + 1) : 0;
    tree.fields.push_back(
        MakeField("Packed Fields", 10, 1, Dec(packed),
                  globalTable ? "グローバルカラーテーブル " + Dec(tableSize / 3) + " 色" : "カラーテーブルなし"));
    tree.fields.push_back(MakeField("Background Color Index", 11, 1, Dec(view.data[11])));
    tree.fields.push_back(MakeField("Pixel Aspect Ratio", 12, 1, Dec(view.data[12])));
    if (globalTable) {
        DecodedField table = MakeField("Global Color Table", 13, tableSize, Dec(tableSize / 3) + " 色");
        if (!view.Has(13, tableSize)) {
            table.warnings.push_back("データに入りきりません");
            table.size = view.size - 13;
        }
        tree.fields.push_back(std::move(table));
    }
    if (view.size == 0 || view.data[view.size - 1] != 0x3B)
        tree.warnings.push_back("終わりの 0x3B (Trailer) がありません");
    return tree;
}
