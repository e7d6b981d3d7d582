// The shell's transfer structures: DROPFILES (CF_HDROP), FILEGROUPDESCRIPTOR(A/W), the
// Shell IDList Array (CIDA) and "Shell Object Offsets".
#include "decoders/DecodeSupport.h"

#include <algorithm>
#include <memory>

namespace {

constexpr size_t kDropFilesHeader = 20;

// Whether names starting at `offset` look like UTF-16: a printable ASCII byte followed by
// a zero, in the first characters.
bool LooksWide(const ByteView& view, size_t offset)
{
    int wide = 0, narrow = 0;
    for (size_t i = offset; i + 1 < view.size && i < offset + 16; i += 2) {
        const uint8_t a = view.data[i], b = view.data[i + 1];
        if (a == 0 && b == 0) break;
        if (a >= 0x20 && a < 0x7F && b == 0)
            ++wide;
        else if (a != 0 && b != 0)
            ++narrow;
    }
    return wide > 0 && wide >= narrow;
}

// A path that leaves where it is put: absolute, with a drive, or with a ".." part.
bool EscapesFolder(const std::string& name)
{
    if (name.empty()) return false;
    if (name[0] == '\\' || name[0] == '/') return true;
    if (name.size() >= 2 && name[1] == ':') return true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

DecodedTree DecodeDropFiles(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "DROPFILES";
    const ByteView view{input.data, input.size};
    if (!view.Has(0, kDropFilesHeader)) {
        tree.warnings.push_back("DROPFILES のヘッダー (20 バイト) に足りません (" + Dec(view.size) + " バイト)");
        return tree;
    }
    const uint32_t pFiles = view.U32(0);
    const uint32_t wideFlag = view.U32(16);
    DecodedField files = MakeField("pFiles", 0, 4, Dec(pFiles), "名前の一覧の位置");
    tree.fields.push_back(MakeField("pt.x", 4, 4, DecSigned(view.I32(4)), "ドロップした位置"));
    tree.fields.push_back(MakeField("pt.y", 8, 4, DecSigned(view.I32(8))));
    tree.fields.push_back(
        MakeField("fNC", 12, 4, Dec(view.U32(12)), view.U32(12) ? "非クライアント領域" : "クライアント領域"));
    DecodedField wideField = MakeField("fWide", 16, 4, Dec(wideFlag), wideFlag ? "UTF-16 の名前" : "ANSI の名前");
    const bool wide = wideFlag != 0;
    bool namesReadable = true;
    if (pFiles < kDropFilesHeader) {
        files.warnings.push_back("ヘッダーと重なっています (20 以上のはずです)");
        namesReadable = pFiles == kDropFilesHeader;
    }
    if (pFiles > view.size) {
        files.warnings.push_back("データの外を指しています (データは " + Dec(view.size) + " バイト)");
        namesReadable = false;
    }
    if (namesReadable && pFiles < view.size) {
        const bool looksWide = LooksWide(view, pFiles);
        if (!wide && looksWide) wideField.warnings.push_back("fWide が 0 ですが、名前は UTF-16 に見えます");
        if (wide && !looksWide && view.size - pFiles >= 4 && view.data[pFiles] != 0 && view.data[pFiles + 1] != 0)
            wideField.warnings.push_back("fWide が 0 でないのに、名前は ANSI に見えます");
    }
    tree.fields.insert(tree.fields.begin(), std::move(files));
    tree.fields.push_back(std::move(wideField));
    if (!namesReadable) return tree;

    const size_t unit = wide ? 2 : 1;
    FieldBudget budget;
    size_t pos = pFiles;
    size_t index = 0;
    bool terminated = false;
    while (view.Has(pos, unit)) {
        size_t end = pos;
        while (view.Has(end, unit) && !(view.data[end] == 0 && (!wide || view.data[end + 1] == 0))) end += unit;
        if (end == pos) {
            tree.fields.push_back(MakeField("NUL", pos, unit, "", "一覧の終わり (空の名前)"));
            terminated = true;
            break;
        }
        if (!budget.Take()) {
            tree.warnings.push_back(FieldBudget::Stopped(pos));
            return tree;
        }
        // Names are shown by their first characters; the field covers all of the name.
        const size_t shown = std::min<size_t>((end - pos) / unit, 4096);
        const std::string name =
            wide ? Utf16ToUtf8(view.data + pos, shown) : EightBitText(input, view.data + pos, shown, input.codePage);
        DecodedField field = MakeField("[" + Dec(index++) + "]", pos, end - pos, Shorten(name, 1000), "ファイル名");
        const bool hasTerminator = view.Has(end, unit);
        if (!hasTerminator) field.warnings.push_back("名前が NUL で終わらずにデータが終わっています");
        const bool absolute = name.size() >= 3 && name[1] == ':' && (name[2] == '\\' || name[2] == '/');
        const bool unc = name.size() >= 2 && name[0] == '\\' && name[1] == '\\';
        if (!absolute && !unc) field.warnings.push_back("完全なパスではありません");
        tree.fields.push_back(std::move(field));
        if (!hasTerminator) break;
        pos = end + unit;
    }
    if (index == 0) tree.warnings.push_back("ファイル名がひとつもありません");
    if (!terminated) tree.warnings.push_back("一覧の終わりの空の名前 (二重の NUL) がありません");
    return tree;
}

namespace {

const BitName kFdFlags[] = {{0x1, "FD_CLSID"},         {0x2, "FD_SIZEPOINT"},     {0x4, "FD_ATTRIBUTES"},
                            {0x8, "FD_CREATETIME"},    {0x10, "FD_ACCESSTIME"},   {0x20, "FD_WRITESTIME"},
                            {0x40, "FD_FILESIZE"},     {0x4000, "FD_PROGRESSUI"}, {0x8000, "FD_LINKUI"},
                            {0x80000000, "FD_UNICODE"}};
const BitName kAttributes[] = {{0x1, "READONLY"},
                               {0x2, "HIDDEN"},
                               {0x4, "SYSTEM"},
                               {0x10, "DIRECTORY"},
                               {0x20, "ARCHIVE"},
                               {0x40, "DEVICE"},
                               {0x80, "NORMAL"},
                               {0x100, "TEMPORARY"},
                               {0x200, "SPARSE_FILE"},
                               {0x400, "REPARSE_POINT"},
                               {0x800, "COMPRESSED"},
                               {0x1000, "OFFLINE"},
                               {0x2000, "NOT_CONTENT_INDEXED"},
                               {0x4000, "ENCRYPTED"}};

// The members of one FILEDESCRIPTOR at `base`; the caller has checked that it lies inside.
std::vector<DecodedField> DescriptorFields(const DecodeInput& input, size_t base, bool wide)
{
    const ByteView view{input.data, input.size};
    std::vector<DecodedField> fields;
    fields.reserve(13);
    const uint32_t flags = view.U32(base);
    fields.push_back(MakeField("dwFlags", base, 4, Dec(flags), flags ? BitNames(flags, kFdFlags) : "なし"));
    auto unused = [&](uint32_t bit, DecodedField field) {
        if (!(flags & bit)) field.meaning = "無効 (dwFlags に " + BitNames(bit, kFdFlags) + " がありません)";
        fields.push_back(std::move(field));
    };
    unused(0x1, MakeField("clsid", base + 4, 16, GuidText(view.data + base + 4)));
    unused(0x2, MakeField("sizel.cx", base + 20, 4, DecSigned(view.I32(base + 20))));
    unused(0x2, MakeField("sizel.cy", base + 24, 4, DecSigned(view.I32(base + 24))));
    unused(0x2, MakeField("pointl.x", base + 28, 4, DecSigned(view.I32(base + 28))));
    unused(0x2, MakeField("pointl.y", base + 32, 4, DecSigned(view.I32(base + 32))));
    const uint32_t attributes = view.U32(base + 36);
    unused(0x4, MakeField("dwFileAttributes", base + 36, 4, Dec(attributes),
                          attributes ? BitNames(attributes, kAttributes) : "なし"));
    const char* const times[] = {"ftCreationTime", "ftLastAccessTime", "ftLastWriteTime"};
    for (int t = 0; t < 3; ++t) {
        const size_t at = base + 40 + 8 * t;
        const uint64_t time = view.U64(at);
        DecodedField field = MakeField(times[t], at, 8, Dec(time));
        if (flags & (0x8u << t)) {
            std::string when = FileTimeUtc(time);
            if (input.localTime && !when.empty()) when = input.localTime(time) + " (" + when + ")";
            field.meaning = when;
            if (time == 0) field.warnings.push_back("時刻が 0 (1601 年) です");
            if (when.empty()) field.warnings.push_back("日時として表せません");
        }
        unused(0x8u << t, std::move(field));
    }
    const uint32_t high = view.U32(base + 64), low = view.U32(base + 68);
    unused(0x40, MakeField("nFileSizeHigh", base + 64, 4, Dec(high)));
    unused(0x40, MakeField("nFileSizeLow", base + 68, 4, Dec(low),
                           (flags & 0x40) ? Dec(static_cast<uint64_t>(high) << 32 | low) + " バイト" : ""));

    const size_t nameAt = base + 72;
    const size_t unit = wide ? 2 : 1;
    size_t length = 0;
    while (length < 260 &&
           !(view.data[nameAt + length * unit] == 0 && (!wide || view.data[nameAt + length * unit + 1] == 0)))
        ++length;
    const std::string name = wide ? Utf16ToUtf8(view.data + nameAt, length)
                                  : EightBitText(input, view.data + nameAt, length, input.codePage);
    DecodedField field = MakeField("cFileName", nameAt, 260 * unit, Shorten(name, 300));
    if (length == 260) field.warnings.push_back("名前が NUL で終わっていません");
    if (length == 0) field.warnings.push_back("名前が空です");
    if (name.find_first_of("\\/") != std::string::npos) {
        field.meaning = "フォルダーを含むパス";
        if (EscapesFolder(name)) field.warnings.push_back("置き場所の外を指すパスです (絶対パスか ..)");
    }
    fields.push_back(std::move(field));
    return fields;
}

DecodedTree DecodeFileGroup(const DecodeInput& input, bool wide)
{
    DecodedTree tree;
    tree.decoder = wide ? "FILEGROUPDESCRIPTORW" : "FILEGROUPDESCRIPTORA";
    const ByteView view{input.data, input.size};
    const size_t itemSize = wide ? 592 : 332;
    if (!view.Has(0, 4)) {
        tree.warnings.push_back("cItems (4 バイト) に足りません");
        return tree;
    }
    const uint32_t claimed = view.U32(0);
    const uint64_t whole = (view.size - 4) / itemSize;
    DecodedField count = MakeField("cItems", 0, 4, Dec(claimed), "ファイルの数");
    if (claimed > whole)
        count.warnings.push_back("データには " + Dec(whole) + " 個分 (" + Dec(whole * itemSize + 4) +
                                 " バイト) しかありません; " + Dec(claimed) + " 個には " +
                                 Dec(static_cast<uint64_t>(claimed) * itemSize + 4) + " バイト要ります");
    tree.fields.push_back(std::move(count));
    const uint64_t shown = std::min<uint64_t>(claimed, whole);
    tree.fields.reserve(static_cast<size_t>(std::min<uint64_t>(shown, kMaxDecodedFields)) + 2);
    FieldBudget budget;
    // Each descriptor's members are made when it is opened; their warnings are counted now.
    // The input (with its converters) is shared: the children may be made after this call.
    const auto shared = std::make_shared<const DecodeInput>(input);
    for (uint64_t i = 0; i < shown; ++i) {
        const size_t base = 4 + static_cast<size_t>(i) * itemSize;
        if (!budget.Take()) {
            tree.warnings.push_back(FieldBudget::Stopped(base));
            break;
        }
        std::vector<DecodedField> members = DescriptorFields(input, base, wide);
        DecodedField item = MakeField("fgd[" + Dec(i) + "]", base, itemSize, members.back().value,
                                      wide ? "FILEDESCRIPTORW" : "FILEDESCRIPTORA");
        for (const DecodedField& member : members) item.lazyWarnings += CountWarnings(member);
        item.lazyChildren = [shared, base, wide] { return DescriptorFields(*shared, base, wide); };
        tree.fields.push_back(std::move(item));
    }
    const uint64_t used = 4 + shown * itemSize;
    if (claimed <= whole && used < view.size)
        tree.fields.push_back(MakeField("余り", used, view.size - used, Dec(view.size - used) + " バイト",
                                        "cItems 個の記述子の後ろのバイト"));
    return tree;
}

}  // namespace

DecodedTree DecodeFileGroupDescriptorA(const DecodeInput& input)
{
    return DecodeFileGroup(input, false);
}

DecodedTree DecodeFileGroupDescriptorW(const DecodeInput& input)
{
    return DecodeFileGroup(input, true);
}

namespace {

// The items of the ID list at `offset`; the caller has checked that the offset is inside.
std::vector<DecodedField> IdListItems(const ByteView& view, size_t offset)
{
    std::vector<DecodedField> items;
    size_t pos = offset;
    size_t index = 0;
    while (true) {
        if (!view.Has(pos, 2)) {
            DecodedField end = MakeField("終端", pos, 0, "", "");
            end.warnings.push_back("終端の cb = 0 の前にデータが終わっています");
            items.push_back(std::move(end));
            break;
        }
        const uint16_t cb = view.U16(pos);
        if (cb == 0) {
            items.push_back(MakeField("cb", pos, 2, "0", "ID リストの終わり"));
            break;
        }
        if (items.size() >= 4096) {
            DecodedField stop = MakeField("…", pos, 0, "");
            stop.warnings.push_back("項目が多すぎるため、ここで打ち切りました");
            items.push_back(std::move(stop));
            break;
        }
        DecodedField item = MakeField("mkid[" + Dec(index++) + "]", pos, cb, "cb = " + Dec(cb));
        if (cb < 2) {
            item.warnings.push_back("cb が 2 より小さいため、先を読めません");
            item.size = 2;
            items.push_back(std::move(item));
            break;
        }
        if (!view.Has(pos, cb)) {
            item.warnings.push_back("項目がデータの外まで続いています");
            item.size = view.size - pos;
            items.push_back(std::move(item));
            break;
        }
        item.meaning = HexBytes(view.data + pos + 2, cb - 2, 16);
        items.push_back(std::move(item));
        pos += cb;
    }
    return items;
}

}  // namespace

DecodedTree DecodeShellIdList(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "CIDA";
    const ByteView view{input.data, input.size};
    if (!view.Has(0, 4)) {
        tree.warnings.push_back("cidl (4 バイト) に足りません");
        return tree;
    }
    const uint32_t cidl = view.U32(0);
    DecodedField count = MakeField("cidl", 0, 4, Dec(cidl), "項目の数 (親フォルダーを除く)");
    const uint64_t room = (view.size - 4) / 4;
    const uint64_t offsets = std::min<uint64_t>(static_cast<uint64_t>(cidl) + 1, room);
    if (static_cast<uint64_t>(cidl) + 1 > room)
        count.warnings.push_back("aoffset[" + Dec(static_cast<uint64_t>(cidl) + 1) + "] に足りません (データには " +
                                 Dec(room) + " 個分しかありません)");
    tree.fields.push_back(std::move(count));
    FieldBudget budget;
    size_t itemsRead = 0;
    bool stoppedItems = false;
    for (uint64_t i = 0; i < offsets; ++i) {
        const size_t at = 4 + static_cast<size_t>(i) * 4;
        if (!budget.Take()) {
            tree.warnings.push_back(FieldBudget::Stopped(at));
            break;
        }
        const uint32_t target = view.U32(at);
        DecodedField field = MakeField("aoffset[" + Dec(i) + "]", at, 4, Dec(target),
                                       i == 0 ? "親フォルダーの絶対 ID リスト" : "項目の相対 ID リスト");
        if (target >= view.size) {
            field.warnings.push_back("データの外を指しています");
        } else if (target < 4 + offsets * 4) {
            field.warnings.push_back("オフセットの表の中を指しています");
        } else if (itemsRead > kMaxDecodedFields) {
            // Offsets may all point at one long list: the lists are read only up to a total.
            if (!stoppedItems) tree.warnings.push_back("ID リストの項目が多すぎるため、ここから先の項目は表示しません");
            stoppedItems = true;
        } else {
            // The ID list's items as children, made when the row is opened.
            std::vector<DecodedField> items = IdListItems(view, target);
            itemsRead += items.size();
            size_t length = 0;
            for (const DecodedField& item : items) field.lazyWarnings += CountWarnings(item);
            length = static_cast<size_t>(items.back().offset + items.back().size - target);
            field.meaning += " (" + Dec(items.size() - 1) + " 項目, " + Dec(length) + " バイト)";
            if (i == 0 && items.size() == 1 && items[0].warnings.empty()) field.meaning += " デスクトップ";
            field.lazyChildren = [view, target] { return IdListItems(view, target); };
        }
        tree.fields.push_back(std::move(field));
    }
    return tree;
}

DecodedTree DecodeShellObjectOffsets(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "Shell Object Offsets";
    const ByteView view{input.data, input.size};
    FieldBudget budget;
    size_t pos = 0;
    for (size_t i = 0; view.Has(pos, 8); ++i, pos += 8) {
        if (!budget.Take()) {
            tree.warnings.push_back(FieldBudget::Stopped(pos));
            return tree;
        }
        tree.fields.push_back(MakeField("[" + Dec(i) + "]", pos, 8,
                                        "(" + DecSigned(view.I32(pos)) + ", " + DecSigned(view.I32(pos + 4)) + ")",
                                        "POINT: 項目の位置 (x, y)"));
    }
    if (pos < view.size) tree.warnings.push_back("POINT (8 バイト) の途中で終わっています");
    if (view.size == 0) tree.warnings.push_back("データがありません");
    return tree;
}
