// Formats that carry text: URL and file-name strings, "text/x-moz-url", the OLE object
// descriptors, Rich Text Format's header, and Chromium's pickled custom data.
#include "decoders/DecodeSupport.h"

#include <algorithm>
#include <cstring>

namespace {

// Strings are shown by their first characters; the field still covers all of them.
constexpr size_t kShownUnits = 4096;

}  // namespace

DecodedTree DecodeAnsiString(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "ANSI 文字列";
    const ByteView view{input.data, input.size};
    const auto* nul = static_cast<const uint8_t*>(std::memchr(view.data, 0, view.size));
    const size_t length = nul ? static_cast<size_t>(nul - view.data) : view.size;
    DecodedField field =
        MakeField("文字列", 0, length,
                  Shorten(EightBitText(input, view.data, std::min<size_t>(length, kShownUnits), input.codePage), 2000));
    if (!nul) field.warnings.push_back("NUL で終わっていません");
    if (length == 0) field.warnings.push_back("空の文字列です");
    tree.fields.push_back(std::move(field));
    if (nul)
        tree.fields.push_back(
            MakeField("NUL", length, view.size - length, Dec(view.size - length) + " バイト", "終端"));
    return tree;
}

namespace {

// UTF-16 units up to the first NUL unit from `offset`, within the block.
size_t WideLength(const ByteView& view, size_t offset, bool& terminated)
{
    size_t units = 0;
    terminated = false;
    while (view.Has(offset + 2 * units, 2)) {
        if (view.U16(offset + 2 * units) == 0) {
            terminated = true;
            break;
        }
        ++units;
    }
    return units;
}

}  // namespace

DecodedTree DecodeWideString(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "UTF-16 文字列";
    const ByteView view{input.data, input.size};
    bool terminated = false;
    const size_t units = WideLength(view, 0, terminated);
    DecodedField field =
        MakeField("文字列", 0, units * 2, Shorten(Utf16ToUtf8(view.data, std::min(units, kShownUnits)), 2000));
    if (!terminated) field.warnings.push_back("NUL で終わっていません");
    if (units == 0) field.warnings.push_back("空の文字列です");
    tree.fields.push_back(std::move(field));
    if (terminated)
        tree.fields.push_back(
            MakeField("NUL", units * 2, view.size - units * 2, Dec(view.size - units * 2) + " バイト", "終端"));
    if (view.size % 2) tree.warnings.push_back("バイト数が奇数です");
    return tree;
}

DecodedTree DecodeMozUrl(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "text/x-moz-url";
    const ByteView view{input.data, input.size};
    bool terminated = false;
    const size_t units = WideLength(view, 0, terminated);
    size_t newline = units;
    for (size_t i = 0; i < units; ++i)
        if (view.U16(2 * i) == '\n') {
            newline = i;
            break;
        }
    tree.fields.push_back(
        MakeField("URL", 0, newline * 2, Shorten(Utf16ToUtf8(view.data, std::min(newline, kShownUnits)), 2000)));
    if (newline < units) {
        const size_t start = newline + 1;
        tree.fields.push_back(
            MakeField("title", start * 2, (units - start) * 2,
                      Shorten(Utf16ToUtf8(view.data + start * 2, std::min(units - start, kShownUnits)), 2000)));
    } else {
        tree.warnings.push_back("URL と題を分ける改行がありません");
    }
    if (!terminated && units * 2 + 1 < view.size) tree.warnings.push_back("バイト数が奇数です");
    if (terminated)
        tree.fields.push_back(
            MakeField("NUL", units * 2, view.size - units * 2, Dec(view.size - units * 2) + " バイト", "終端"));
    return tree;
}

DecodedTree DecodeObjectDescriptor(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "OBJECTDESCRIPTOR";
    const ByteView view{input.data, input.size};
    if (!view.Has(0, 52)) {
        tree.warnings.push_back("OBJECTDESCRIPTOR (52 バイト) に足りません (" + Dec(view.size) + " バイト)");
        return tree;
    }
    DecodedField size = MakeField("cbSize", 0, 4, Dec(view.U32(0)), "構造体と文字列の大きさ");
    if (view.U32(0) != view.size) size.warnings.push_back("データは " + Dec(view.size) + " バイトです");
    tree.fields.push_back(std::move(size));
    tree.fields.push_back(MakeField("clsid", 4, 16, GuidText(view.data + 4)));
    static const BitName kAspects[] = {
        {1, "DVASPECT_CONTENT"}, {2, "DVASPECT_THUMBNAIL"}, {4, "DVASPECT_ICON"}, {8, "DVASPECT_DOCPRINT"}};
    tree.fields.push_back(MakeField("dwDrawAspect", 20, 4, Dec(view.U32(20)), BitNames(view.U32(20), kAspects)));
    tree.fields.push_back(MakeField("sizel.cx", 24, 4, DecSigned(view.I32(24)), "HIMETRIC"));
    tree.fields.push_back(MakeField("sizel.cy", 28, 4, DecSigned(view.I32(28)), "HIMETRIC"));
    tree.fields.push_back(MakeField("pointl.x", 32, 4, DecSigned(view.I32(32))));
    tree.fields.push_back(MakeField("pointl.y", 36, 4, DecSigned(view.I32(36))));
    tree.fields.push_back(MakeField("dwStatus", 40, 4, Dec(view.U32(40)), Hex(view.U32(40), 8) + " (OLEMISC)"));
    const char* const names[] = {"dwFullUserTypeName", "dwSrcOfCopy"};
    for (int i = 0; i < 2; ++i) {
        const size_t at = 44 + 4 * i;
        const uint32_t offset = view.U32(at);
        DecodedField field = MakeField(names[i], at, 4, Dec(offset));
        if (offset == 0) {
            field.meaning = "なし";
        } else if (offset < 52 || offset >= view.size) {
            field.warnings.push_back("データの外か構造体の中を指しています");
        } else {
            bool terminated = false;
            const size_t units = WideLength(view, offset, terminated);
            field.meaning = Shorten(Utf16ToUtf8(view.data + offset, std::min(units, kShownUnits)), 500);
            field.children.push_back(MakeField("文字列", offset, units * 2, field.meaning));
            if (!terminated) field.warnings.push_back("文字列が NUL で終わっていません");
        }
        tree.fields.push_back(std::move(field));
    }
    return tree;
}

DecodedTree DecodeRtf(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "RTF";
    const ByteView view{input.data, input.size};
    if (!view.Has(0, 6) || std::memcmp(view.data, "{\\rtf", 5) != 0) {
        tree.warnings.push_back("{\\rtf で始まっていません");
        return tree;
    }
    FieldBudget budget;
    // One pass: control words of the header at depth 1, font and colour table entries, braces.
    int64_t depth = 0;
    int64_t minDepthAfterStart = 1;
    size_t documentEnd = view.size;
    size_t fontTable = 0, colorTable = 0;
    int64_t fontDepth = -1, colorDepth = -1;
    DecodedField* fonts = nullptr;
    DecodedField* colors = nullptr;
    tree.fields.reserve(16);
    size_t colorStart = 0;
    size_t colorIndex = 0;
    bool headerDone = false;
    size_t i = 0;
    while (i < view.size) {
        const uint8_t c = view.data[i];
        if (c == '{') {
            ++depth;
            ++i;
            continue;
        }
        if (c == '}') {
            if (depth == fontDepth && fonts) {
                fonts->size = i + 1 - fonts->offset;
                fontDepth = -1;
            }
            if (depth == colorDepth && colors) {
                colors->size = i + 1 - colors->offset;
                colorDepth = -1;
            }
            --depth;
            if (depth == 0 && documentEnd == view.size) documentEnd = i + 1;
            minDepthAfterStart = std::min(minDepthAfterStart, depth);
            ++i;
            continue;
        }
        if (c == ';' && colorDepth >= 0 && colors && depth == colorDepth) {
            if (budget.Take())
                colors->children.push_back(MakeField(
                    "[" + Dec(colorIndex++) + "]", colorStart, i + 1 - colorStart,
                    Shorten(std::string_view(reinterpret_cast<const char*>(view.data + colorStart), i - colorStart),
                            60)));
            colorStart = i + 1;
            ++i;
            continue;
        }
        if (c != '\\') {
            ++i;
            continue;
        }
        // A control word: letters, an optional signed number, an optional space.
        const size_t start = i++;
        size_t wordEnd = i;
        while (wordEnd < view.size && ((view.data[wordEnd] >= 'a' && view.data[wordEnd] <= 'z') ||
                                       (view.data[wordEnd] >= 'A' && view.data[wordEnd] <= 'Z')))
            ++wordEnd;
        if (wordEnd == i) {
            i = std::min(view.size, i + 1);
            continue;
        }
        const std::string word(reinterpret_cast<const char*>(view.data + i), wordEnd - i);
        size_t numberEnd = wordEnd;
        if (numberEnd < view.size && view.data[numberEnd] == '-') ++numberEnd;
        while (numberEnd < view.size && numberEnd - wordEnd < 11 && view.data[numberEnd] >= '0' &&
               view.data[numberEnd] <= '9')
            ++numberEnd;
        const std::string number(reinterpret_cast<const char*>(view.data + wordEnd), numberEnd - wordEnd);
        i = numberEnd;
        if (i < view.size && view.data[i] == ' ') ++i;
        if (word == "fonttbl" && !fonts) {
            tree.fields.push_back(MakeField("fonttbl", start, 0, "", "フォントテーブル"));
            fontTable = tree.fields.size() - 1;
            fontDepth = depth;
            headerDone = true;
        } else if (word == "colortbl" && !colors) {
            tree.fields.push_back(MakeField("colortbl", start, 0, "", "カラーテーブル"));
            colorTable = tree.fields.size() - 1;
            colorDepth = depth;
            colorStart = i;
            headerDone = true;
        } else if (word == "f" && fontDepth >= 0 && depth == fontDepth + 1 && fonts && budget.Take()) {
            // The entry's name runs to its ';' (looked for within a bounded distance, so that
            // a table of unterminated entries stays linear).
            size_t end = i;
            while (end < view.size && end - i < 256 && view.data[end] != ';' && view.data[end] != '}') ++end;
            size_t nameStart = end;
            while (nameStart > i && view.data[nameStart - 1] != ' ' && view.data[nameStart - 1] != '}') --nameStart;
            fonts->children.push_back(
                MakeField("\\f" + number, start, end - start,
                          EightBitText(input, view.data + nameStart, end - nameStart, input.codePage)));
        } else if (depth == 1 && !headerDone &&
                   (word == "rtf" || word == "ansi" || word == "mac" || word == "pc" || word == "pca" ||
                    word == "ansicpg" || word == "deff" || word == "deflang" || word == "uc" || word == "deflangfe")) {
            if (budget.Take()) {
                DecodedField field = MakeField("\\" + word, start, i - start, number);
                if (word == "rtf" && number != "1") field.warnings.push_back("\\rtf1 のはずです");
                if (word == "ansicpg") field.meaning = "ANSI コードページ";
                if (word == "deff") field.meaning = "既定のフォント";
                tree.fields.push_back(std::move(field));
            }
        }
        // Pointers are taken after every push, since a push may move the vector.
        fonts = fontDepth >= 0 || fonts ? &tree.fields[fontTable] : nullptr;
        colors = colorDepth >= 0 || colors ? &tree.fields[colorTable] : nullptr;
    }
    if (fonts) fonts->value = Dec(fonts->children.size()) + " 個";
    if (colors) colors->value = Dec(colors->children.size()) + " 色";
    if (depth > 0) tree.warnings.push_back("{ が " + Dec(static_cast<uint64_t>(depth)) + " 個閉じていません");
    if (minDepthAfterStart < 0) tree.warnings.push_back("対応する { のない } があります");
    bool trailing = false;
    for (size_t k = documentEnd; k < view.size; ++k)
        if (view.data[k] != 0 && view.data[k] != '\r' && view.data[k] != '\n') trailing = true;
    if (trailing) tree.warnings.push_back("文書の終わりの } の後ろにデータがあります");
    return tree;
}

DecodedTree DecodeChromiumCustomData(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "Pickle";
    const ByteView view{input.data, input.size};
    if (!view.Has(0, 8)) {
        tree.warnings.push_back("ヘッダー (8 バイト) に足りません");
        return tree;
    }
    const uint32_t payload = view.U32(0);
    DecodedField size = MakeField("payload_size", 0, 4, Dec(payload), "以降のバイト数");
    if (static_cast<uint64_t>(payload) + 4 > view.size)
        size.warnings.push_back("データには " + Dec(view.size - 4) + " バイトしかありません");
    tree.fields.push_back(std::move(size));
    const size_t end = static_cast<size_t>(std::min<uint64_t>(view.size, static_cast<uint64_t>(payload) + 4));
    const uint32_t count = view.U32(4);
    tree.fields.push_back(MakeField("count", 4, 4, Dec(count), "型とデータの組の数"));
    FieldBudget budget;
    size_t pos = 8;
    // A string: an int32 length in UTF-16 units, the units, zeros up to a 4-byte boundary.
    auto readString = [&](const char* name, DecodedField& pair) -> bool {
        if (pos + 4 > end) {
            pair.warnings.push_back(std::string(name) + " の長さの前にデータが終わっています");
            return false;
        }
        const int32_t length = view.I32(pos);
        const uint64_t bytes = length < 0 ? 0 : static_cast<uint64_t>(length) * 2;
        if (length < 0 || pos + 4 + bytes > end) {
            DecodedField field = MakeField(name, pos, end - pos, DecSigned(length) + " 文字");
            field.warnings.push_back("長さがデータの外まで届いています");
            pair.children.push_back(std::move(field));
            return false;
        }
        const std::string text = Utf16ToUtf8(view.data + pos + 4, std::min(static_cast<size_t>(length), kShownUnits));
        pair.children.push_back(MakeField(name, pos, 4 + bytes, Shorten(text, 500), Dec(length) + " 文字"));
        if (pair.value.empty()) pair.value = Shorten(text, 100);
        pos += 4 + static_cast<size_t>(bytes);
        pos = std::min(end, (pos + 3) / 4 * 4);
        return true;
    };
    for (uint32_t i = 0; i < count; ++i) {
        if (!budget.Take(3)) {
            tree.warnings.push_back(FieldBudget::Stopped(pos));
            return tree;
        }
        DecodedField pair = MakeField("[" + Dec(i) + "]", pos, 0, "");
        const bool ok = readString("type", pair) && readString("data", pair);
        pair.size = pos - pair.offset;
        tree.fields.push_back(std::move(pair));
        if (!ok) {
            tree.warnings.push_back("組 " + Dec(i) + " で読めなくなりました (count は " + Dec(count) + ")");
            return tree;
        }
    }
    if (pos < end) tree.warnings.push_back("組の後ろに " + Dec(end - pos) + " バイトあります");
    return tree;
}
