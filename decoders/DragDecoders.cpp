// The small formats of drag and drop: drop effects, the drag helper's BOOL and window
// formats, DROPDESCRIPTION, SHDRAGIMAGE ("DragImageBits") and CF_LOCALE.
#include "decoders/DecodeSupport.h"

#include <algorithm>

namespace {

const BitName kDropEffects[] = {
    {1, "DROPEFFECT_COPY"}, {2, "DROPEFFECT_MOVE"}, {4, "DROPEFFECT_LINK"}, {0x80000000u, "DROPEFFECT_SCROLL"}};

// A DWORD-sized format: the value's field, or a warning when the block is short.
bool ReadDword(const DecodeInput& input, DecodedTree& tree, const char* name, uint32_t& value)
{
    const ByteView view{input.data, input.size};
    if (!view.Has(0, 4)) {
        tree.warnings.push_back(std::string(name) + " (4 バイト) に足りません (" + Dec(view.size) + " バイト)");
        return false;
    }
    value = view.U32(0);
    if (view.size > 4) tree.warnings.push_back("4 バイトの後ろに " + Dec(view.size - 4) + " バイトあります");
    return true;
}

}  // namespace

DecodedTree DecodeDropEffect(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "DROPEFFECT";
    uint32_t effect = 0;
    if (!ReadDword(input, tree, "DWORD", effect)) return tree;
    DecodedField field =
        MakeField("DWORD", 0, 4, Dec(effect), effect ? BitNames(effect, kDropEffects) : "DROPEFFECT_NONE");
    if (effect & ~(7u | 0x80000000u)) field.warnings.push_back("定義されていないビットがあります");
    tree.fields.push_back(std::move(field));
    return tree;
}

DecodedTree DecodeBool(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "BOOL";
    uint32_t value = 0;
    if (!ReadDword(input, tree, "BOOL", value)) return tree;
    DecodedField field = MakeField("BOOL", 0, 4, Dec(value), value ? "TRUE" : "FALSE");
    if (value > 1) field.meaning += " (1 以外の 0 でない値)";
    tree.fields.push_back(std::move(field));
    return tree;
}

DecodedTree DecodeWindowHandle(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "HWND";
    uint32_t value = 0;
    if (!ReadDword(input, tree, "DWORD", value)) return tree;
    tree.fields.push_back(MakeField("DWORD", 0, 4, Dec(value), "ウィンドウハンドル " + Hex(value, 8)));
    return tree;
}

DecodedTree DecodeDropDescription(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "DROPDESCRIPTION";
    const ByteView view{input.data, input.size};
    if (!view.Has(0, 4)) {
        tree.warnings.push_back("type (4 バイト) に足りません");
        return tree;
    }
    const int32_t type = view.I32(0);
    static const struct {
        int32_t value;
        const char* name;
    } kTypes[] = {{-1, "DROPIMAGE_INVALID"}, {0, "DROPIMAGE_NONE"},   {1, "DROPIMAGE_COPY"},
                  {2, "DROPIMAGE_MOVE"},     {4, "DROPIMAGE_LINK"},   {6, "DROPIMAGE_LABEL"},
                  {7, "DROPIMAGE_WARNING"},  {8, "DROPIMAGE_NOIMAGE"}};
    DecodedField typeField = MakeField("type", 0, 4, DecSigned(type));
    for (const auto& known : kTypes)
        if (known.value == type) typeField.meaning = known.name;
    if (typeField.meaning.empty()) typeField.warnings.push_back("定義されていない DROPIMAGETYPE です");
    tree.fields.push_back(std::move(typeField));

    std::string message;
    const char* const names[] = {"szMessage", "szInsert"};
    for (int i = 0; i < 2; ++i) {
        const size_t at = 4 + static_cast<size_t>(i) * 520;
        if (!view.Has(at, 2)) {
            tree.warnings.push_back(std::string(names[i]) + " がありません (DROPDESCRIPTION は 1044 バイト)");
            break;
        }
        const size_t available = std::min<size_t>(260, (view.size - at) / 2);
        size_t length = 0;
        while (length < available && view.U16(at + 2 * length) != 0) ++length;
        const std::string text = Utf16ToUtf8(view.data + at, length);
        DecodedField field = MakeField(names[i], at, available * 2, Shorten(text, 300));
        if (length == available) field.warnings.push_back("NUL で終わっていません");
        if (available < 260) field.warnings.push_back("WCHAR[260] の途中でデータが終わっています");
        if (i == 0) message = text;
        if (i == 1 && text.empty() && message.find("%1") != std::string::npos)
            field.warnings.push_back("szMessage に %1 がありますが、szInsert が空です");
        tree.fields.push_back(std::move(field));
    }
    return tree;
}

DecodedTree DecodeDragImageBits(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "SHDRAGIMAGE";
    const ByteView view{input.data, input.size};
    if (!view.Has(0, 24)) {
        tree.warnings.push_back("SHDRAGIMAGE (24 または 32 バイト) に足りません (" + Dec(view.size) + " バイト)");
        return tree;
    }
    const int32_t cx = view.I32(0), cy = view.I32(4);
    const uint64_t pixels = cx > 0 && cy > 0 ? static_cast<uint64_t>(cx) * static_cast<uint64_t>(cy) * 4 : 0;
    // The header is 32 bytes from a 64-bit source (an 8-byte handle, then padding) and 24
    // from a 32-bit one; the size of the block tells which.
    size_t header = 0;
    if (pixels && view.size >= 32 && view.size - 32 >= pixels)
        header = 32;
    else if (pixels && view.size - 24 >= pixels)
        header = 24;
    DecodedField width = MakeField("sizeDragImage.cx", 0, 4, DecSigned(cx), "幅");
    DecodedField height = MakeField("sizeDragImage.cy", 4, 4, DecSigned(cy), "高さ");
    if (cx <= 0) width.warnings.push_back("幅が正ではありません");
    if (cy <= 0) height.warnings.push_back("高さが正ではありません");
    tree.fields.push_back(std::move(width));
    tree.fields.push_back(std::move(height));
    DecodedField ptx = MakeField("ptOffset.x", 8, 4, DecSigned(view.I32(8)), "カーソルの位置 (画像の中)");
    DecodedField pty = MakeField("ptOffset.y", 12, 4, DecSigned(view.I32(12)));
    if (cx > 0 && (view.I32(8) < 0 || view.I32(8) > cx)) ptx.warnings.push_back("画像の外です");
    if (cy > 0 && (view.I32(12) < 0 || view.I32(12) > cy)) pty.warnings.push_back("画像の外です");
    tree.fields.push_back(std::move(ptx));
    tree.fields.push_back(std::move(pty));
    if (header == 32 || (header == 0 && view.size >= 32)) {
        tree.fields.push_back(
            MakeField("hbmpDragImage", 16, 8, Hex(view.U64(16), 16), "64 ビットの配置: ビットマップのハンドル"));
        tree.fields.push_back(MakeField("crColorKey", 24, 4, Hex(view.U32(24), 8), "透明にする色 (COLORREF)"));
        tree.fields.push_back(MakeField("(詰め物)", 28, 4, Dec(view.U32(28))));
    } else {
        tree.fields.push_back(
            MakeField("hbmpDragImage", 16, 4, Hex(view.U32(16), 8), "32 ビットの配置: ビットマップのハンドル"));
        tree.fields.push_back(MakeField("crColorKey", 20, 4, Hex(view.U32(20), 8), "透明にする色 (COLORREF)"));
    }
    if (header == 0) {
        if (pixels)
            tree.warnings.push_back("ピクセル (" + Dec(pixels) +
                                    " バイト) がデータに入りきりません (ヘッダーの後ろは " +
                                    Dec(view.size >= 32 ? view.size - 32 : view.size - 24) + " バイト)");
        return tree;
    }
    DecodedField bits = MakeField("ピクセル", header, pixels, Dec(cx) + " x " + Dec(cy),
                                  "32 ビット BGRA (乗算済みアルファ)、下の行から");
    tree.fields.push_back(std::move(bits));
    if (view.size > header + pixels)
        tree.fields.push_back(MakeField("余り", header + pixels, view.size - header - pixels,
                                        Dec(view.size - header - pixels) + " バイト"));
    return tree;
}

namespace {

struct KnownLocale {
    uint16_t langId;
    const char* name;
    uint16_t ansi, oem;
};

// The locales a clipboard most often carries; the Windows side answers the rest.
const KnownLocale kLocales[] = {{0x0401, "ar-SA", 1256, 720},
                                {0x0404, "zh-TW", 950, 950},
                                {0x0405, "cs-CZ", 1250, 852},
                                {0x0406, "da-DK", 1252, 850},
                                {0x0407, "de-DE", 1252, 850},
                                {0x0408, "el-GR", 1253, 737},
                                {0x0409, "en-US", 1252, 437},
                                {0x040A, "es-ES_tradnl", 1252, 850},
                                {0x040B, "fi-FI", 1252, 850},
                                {0x040C, "fr-FR", 1252, 850},
                                {0x040D, "he-IL", 1255, 862},
                                {0x040E, "hu-HU", 1250, 852},
                                {0x0410, "it-IT", 1252, 850},
                                {0x0411, "ja-JP", 932, 932},
                                {0x0412, "ko-KR", 949, 949},
                                {0x0413, "nl-NL", 1252, 850},
                                {0x0414, "nb-NO", 1252, 850},
                                {0x0415, "pl-PL", 1250, 852},
                                {0x0416, "pt-BR", 1252, 850},
                                {0x0419, "ru-RU", 1251, 866},
                                {0x041D, "sv-SE", 1252, 850},
                                {0x041E, "th-TH", 874, 874},
                                {0x041F, "tr-TR", 1254, 857},
                                {0x0422, "uk-UA", 1251, 866},
                                {0x042A, "vi-VN", 1258, 1258},
                                {0x0804, "zh-CN", 936, 936},
                                {0x0809, "en-GB", 1252, 850},
                                {0x0816, "pt-PT", 1252, 850},
                                {0x0C0A, "es-ES", 1252, 850},
                                {0x0C04, "zh-HK", 950, 950},
                                {0x007F, "(インバリアント)", 1252, 437}};

}  // namespace

DecodedTree DecodeLocale(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "LCID";
    uint32_t lcid = 0;
    if (!ReadDword(input, tree, "LCID", lcid)) return tree;
    std::optional<LocaleFacts> facts;
    if (input.locale) facts = input.locale(lcid);
    if (!facts && (lcid >> 16) == 0) {
        for (const KnownLocale& known : kLocales)
            if (known.langId == (lcid & 0xFFFF)) facts = LocaleFacts{known.name, known.ansi, known.oem};
    }
    DecodedField field = MakeField("LCID", 0, 4, Dec(lcid), Hex(lcid, 8));
    field.children.push_back(MakeField("LANGID", 0, 2, Dec(lcid & 0xFFFF), Hex(lcid & 0xFFFF, 4)));
    field.children.push_back(MakeField("SORTID", 2, 1, Dec(lcid >> 16 & 0xF)));
    if (facts) {
        field.meaning = facts->name;
        field.children.push_back(MakeField("ANSI コードページ", 0, 4, Dec(facts->ansiCodePage)));
        field.children.push_back(MakeField("OEM コードページ", 0, 4, Dec(facts->oemCodePage)));
    } else {
        field.warnings.push_back("知られていないロケールです");
    }
    tree.fields.push_back(std::move(field));
    return tree;
}
