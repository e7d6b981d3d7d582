// Metafiles: the METAFILEPICT block of CF_METAFILEPICT and the ENHMETAHEADER record that
// starts an enhanced metafile.
#include "decoders/DecodeSupport.h"

DecodedTree DecodeMetaFilePict(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "METAFILEPICT";
    const ByteView view{input.data, input.size};
    if (!view.Has(0, 16)) {
        tree.warnings.push_back("METAFILEPICT (16 または 24 バイト) に足りません");
        return tree;
    }
    static const char* const kModes[] = {nullptr,        "MM_TEXT",  "MM_LOMETRIC",  "MM_HIMETRIC",   "MM_LOENGLISH",
                                         "MM_HIENGLISH", "MM_TWIPS", "MM_ISOTROPIC", "MM_ANISOTROPIC"};
    const int32_t mm = view.I32(0);
    DecodedField mode = MakeField("mm", 0, 4, DecSigned(mm), mm >= 1 && mm <= 8 ? kModes[mm] : "");
    if (mm < 1 || mm > 8) mode.warnings.push_back("知られていない写像モードです");
    tree.fields.push_back(std::move(mode));
    const bool scalable = mm == 7 || mm == 8;
    const char* const names[] = {"xExt", "yExt"};
    for (int i = 0; i < 2; ++i) {
        const int32_t ext = view.I32(4 + 4 * i);
        DecodedField field = MakeField(names[i], 4 + 4 * i, 4, DecSigned(ext));
        if (scalable)
            field.meaning = ext > 0 ? "推奨の大きさ (0.01 mm)" : ext < 0 ? "縦横比だけ" : "指定なし";
        else
            field.meaning = "無効 (MM_ISOTROPIC / MM_ANISOTROPIC だけが使います)";
        tree.fields.push_back(std::move(field));
    }
    // A 64-bit source aligns the handle to 8 bytes.
    if (view.size >= 24)
        tree.fields.push_back(MakeField("hMF", 16, 8, Hex(view.U64(16), 16), "メタファイルのハンドル (64 ビット)"));
    else
        tree.fields.push_back(MakeField("hMF", 12, 4, Hex(view.U32(12), 8), "メタファイルのハンドル (32 ビット)"));
    return tree;
}

DecodedTree DecodeEnhMetaFile(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "ENHMETAHEADER";
    const ByteView view{input.data, input.size};
    if (!view.Has(0, 88)) {
        tree.warnings.push_back("ENHMETAHEADER (88 バイト) に足りません");
        return tree;
    }
    DecodedField type = MakeField("iType", 0, 4, Dec(view.U32(0)), "EMR_HEADER");
    if (view.U32(0) != 1) type.warnings.push_back("1 (EMR_HEADER) のはずです");
    tree.fields.push_back(std::move(type));
    const uint32_t headerSize = view.U32(4);
    DecodedField size = MakeField("nSize", 4, 4, Dec(headerSize), "ヘッダーレコードの大きさ");
    if (headerSize < 88 || headerSize > view.size) size.warnings.push_back("88 以上でデータの中のはずです");
    tree.fields.push_back(std::move(size));
    auto rect = [&](const char* name, size_t at, const char* meaning) {
        tree.fields.push_back(MakeField(name, at, 16,
                                        "(" + DecSigned(view.I32(at)) + ", " + DecSigned(view.I32(at + 4)) + ") - (" +
                                            DecSigned(view.I32(at + 8)) + ", " + DecSigned(view.I32(at + 12)) + ")",
                                        meaning));
    };
    rect("rclBounds", 8, "描画の範囲 (デバイス単位)");
    rect("rclFrame", 24, "枠 (0.01 mm)");
    DecodedField signature = MakeField("dSignature", 40, 4, Hex(view.U32(40), 8));
    if (view.U32(40) != 0x464D4520) signature.warnings.push_back("ENHMETA_SIGNATURE (\" EMF\") のはずです");
    tree.fields.push_back(std::move(signature));
    tree.fields.push_back(MakeField("nVersion", 44, 4, Hex(view.U32(44), 8)));
    DecodedField bytes = MakeField("nBytes", 48, 4, Dec(view.U32(48)), "メタファイル全体の大きさ");
    if (view.U32(48) > view.size) bytes.warnings.push_back("データは " + Dec(view.size) + " バイトしかありません");
    tree.fields.push_back(std::move(bytes));
    tree.fields.push_back(MakeField("nRecords", 52, 4, Dec(view.U32(52)), "レコードの数"));
    tree.fields.push_back(MakeField("nHandles", 56, 2, Dec(view.U16(56))));
    tree.fields.push_back(MakeField("sReserved", 58, 2, Dec(view.U16(58))));
    const uint32_t count = view.U32(60), offset = view.U32(64);
    DecodedField description = MakeField("nDescription", 60, 4, Dec(count), "説明の文字数");
    DecodedField descriptionOffset = MakeField("offDescription", 64, 4, Dec(offset));
    if (count) {
        if (offset < 88 || !view.Has(offset, static_cast<uint64_t>(count) * 2) || offset + 2ull * count > headerSize) {
            descriptionOffset.warnings.push_back("説明がヘッダーレコードの外にあります");
        } else {
            // Two NUL-separated strings: the program, then the picture's name.
            std::string text = Utf16ToUtf8(view.data + offset, count);
            for (char& c : text)
                if (c == '\0') c = '/';
            descriptionOffset.meaning = Shorten(text, 300);
            descriptionOffset.children.push_back(MakeField("説明", offset, 2ull * count, descriptionOffset.meaning));
        }
    }
    tree.fields.push_back(std::move(description));
    tree.fields.push_back(std::move(descriptionOffset));
    tree.fields.push_back(MakeField("nPalEntries", 68, 4, Dec(view.U32(68))));
    tree.fields.push_back(
        MakeField("szlDevice", 72, 8, DecSigned(view.I32(72)) + " x " + DecSigned(view.I32(76)), "ピクセル"));
    tree.fields.push_back(
        MakeField("szlMillimeters", 80, 8, DecSigned(view.I32(80)) + " x " + DecSigned(view.I32(84)), "mm"));
    return tree;
}
