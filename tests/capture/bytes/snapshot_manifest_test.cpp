#include "capture/bytes/SnapshotManifest.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>

namespace {

using Json = nlohmann::json;

ManifestEntry Entry(ManifestKind kind, const std::string& name)
{
    ManifestEntry e;
    e.kind = kind;
    e.format.number = 13;
    e.format.aspect = 1;
    e.format.tymed = 1;
    e.name = name;
    return e;
}

// A snapshot with every kind, a registered format, a nested tree and each sort of stream.
SnapshotManifest Sample()
{
    SnapshotManifest m;
    m.program = "Orvetta 1.0.0.2";
    m.title = "クリップボード#42";
    m.taken = "2026-12-08T07:50:37Z";
    m.how = "paste";
    m.offered = {"CF_UNICODETEXT", "\"HTML Format\""};
    m.allowedEffects = 5;
    m.enumeration = {0, 1, 0, 7};

    ManifestEntry text = Entry(ManifestKind::Generic, "");
    text.size = 24;
    text.data = {"E1", 24};
    text.viewTab = 1;
    text.codePage = -1;
    text.rows = {"エラー\t取り込みできませんでした。"};
    m.entries.push_back(text);

    ManifestEntry html = Entry(ManifestKind::Generic, "");
    html.format = {0xC0F1, "HTML Format", true, 1, -1, 4};
    html.realTymed = 1;
    html.size = 0;
    html.data = {"E2", 0};  // an empty block still has its (empty) file
    m.entries.push_back(html);

    ManifestEntry group = Entry(ManifestKind::FileDescriptor, "");
    group.fileNames = {"a.txt", "..\\b.txt"};
    m.entries.push_back(group);

    ManifestEntry folder = Entry(ManifestKind::Generic, "folder");
    folder.treeIcon = 0;
    folder.hasChildren = true;
    ManifestEntry empty = Entry(ManifestKind::Generic, "empty");
    empty.hasChildren = true;  // a child snapshot without entries is not the same as none
    folder.children.push_back(empty);
    ManifestEntry bitmap = Entry(ManifestKind::Bitmap, "");
    bitmap.width = 2, bitmap.height = 3, bitmap.bitsPerPixel = 8;
    bitmap.bits = {"B3", 1100};
    bitmap.palette = {"P3", 1024};
    folder.children.push_back(bitmap);
    m.entries.push_back(folder);

    ManifestEntry pict = Entry(ManifestKind::MetaFilePict, "");
    pict.size = 24;
    pict.data = {"E4", 24};
    pict.hasPicture = true;
    pict.mapMode = 8, pict.xExt = -1, pict.yExt = 2000;
    pict.bits = {"B4", 90};
    m.entries.push_back(pict);
    m.entries.push_back(Entry(ManifestKind::EnhMetaFile, ""));
    m.entries.push_back(Entry(ManifestKind::Dib, ""));
    m.entries.push_back(Entry(ManifestKind::DragImageBits, ""));
    return m;
}

Json SampleJson()
{
    return Json::parse(WriteSnapshotManifest(Sample()));
}

}  // namespace

TEST(SnapshotManifest, WhatIsWrittenReadsBackTheSame)
{
    const SnapshotManifest sample = Sample();
    const ManifestReadResult read = ReadSnapshotManifest(WriteSnapshotManifest(sample));
    ASSERT_TRUE(read.ok) << read.problem;
    const SnapshotManifest& m = read.manifest;
    EXPECT_EQ(m.version, kSnapshotFormatVersion);
    EXPECT_EQ(m.title, sample.title);
    EXPECT_EQ(m.taken, sample.taken);
    EXPECT_EQ(m.how, "paste");
    EXPECT_EQ(m.offered, sample.offered);
    EXPECT_EQ(m.allowedEffects, std::optional<uint32_t>(5));
    EXPECT_EQ(m.enumeration, sample.enumeration);
    ASSERT_EQ(m.entries.size(), 8u);
    EXPECT_EQ(m.entries[0].rows, sample.entries[0].rows);
    EXPECT_EQ(m.entries[0].codePage, -1);
    EXPECT_EQ(m.entries[0].viewTab, 1);
    EXPECT_EQ(m.entries[1].format.name, "HTML Format");
    EXPECT_EQ(m.entries[1].format.number, 0xC0F1u);
    EXPECT_TRUE(m.entries[1].format.hadTargetDevice);
    EXPECT_EQ(m.entries[1].format.tymed, 4u);
    EXPECT_EQ(m.entries[1].realTymed, 1u);
    EXPECT_TRUE(m.entries[1].data.Present());
    EXPECT_EQ(m.entries[1].data.size, 0u);
    EXPECT_FALSE(m.entries[2].data.Present());
    EXPECT_EQ(m.entries[2].kind, ManifestKind::FileDescriptor);
    EXPECT_EQ(m.entries[2].fileNames, sample.entries[2].fileNames);
    EXPECT_FALSE(m.entries[2].hasChildren);
    const ManifestEntry& folder = m.entries[3];
    EXPECT_EQ(folder.treeIcon, 0);
    ASSERT_EQ(folder.children.size(), 2u);
    EXPECT_TRUE(folder.children[0].hasChildren);
    EXPECT_TRUE(folder.children[0].children.empty());
    const ManifestEntry& bitmap = folder.children[1];
    EXPECT_EQ(bitmap.kind, ManifestKind::Bitmap);
    EXPECT_EQ(bitmap.width, 2);
    EXPECT_EQ(bitmap.bitsPerPixel, 8);
    EXPECT_EQ(bitmap.palette.name, "P3");
    const ManifestEntry& pict = m.entries[4];
    EXPECT_TRUE(pict.hasPicture);
    EXPECT_EQ(pict.mapMode, 8);
    EXPECT_EQ(pict.xExt, -1);
    EXPECT_EQ(pict.bits.size, 90u);
    // Streams in depth-first entry order.
    std::vector<std::string> names;
    for (const ManifestStream& s : read.streams) names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{"E1", "E2", "B3", "P3", "E4", "B4"}));
}

TEST(SnapshotManifest, UnknownMembersAreIgnoredAndAbsentOnesTakeTheirDefaults)
{
    Json j = SampleJson();
    j["comment"] = "from a later version";
    j["entries"][0]["colour"] = {1, 2};
    j["entries"][0].erase("rows");
    j["entries"][0].erase("codePage");
    j.erase("allowedEffects");
    j.erase("enumeration");
    const ManifestReadResult read = ReadSnapshotManifest(j.dump());
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_FALSE(read.manifest.allowedEffects);
    EXPECT_TRUE(read.manifest.enumeration.empty());
    EXPECT_TRUE(read.manifest.entries[0].rows.empty());
    EXPECT_EQ(read.manifest.entries[0].codePage, -10);
}

TEST(SnapshotManifest, EveryMismatchIsRefusedWithWhatIsWrong)
{
    struct Case {
        const char* what;
        std::function<void(Json&)> change;
        const char* problem;
    };
    const Case cases[] = {
        {"another document", [](Json& j) { j["document"] = "Other"; }, "スナップショットのマニフェストではありません"},
        {"a later version", [](Json& j) { j["version"] = 2; }, "バージョン 2 には対応していません"},
        {"version 0", [](Json& j) { j["version"] = 0; }, "version"},
        {"a version in words", [](Json& j) { j["version"] = "1"; }, "version"},
        {"no entry count", [](Json& j) { j.erase("entryCount"); }, "entryCount"},
        {"one entry too many", [](Json& j) { j["entryCount"] = 11; }, "エントリの数"},
        {"one stream too few", [](Json& j) { j["streamCount"] = 5; }, "ストリームの数"},
        {"no entries", [](Json& j) { j.erase("entries"); }, "entries"},
        {"entries not a list", [](Json& j) { j["entries"] = Json::object(); }, "entries"},
        {"an entry not an object", [](Json& j) { j["entries"][6] = 7; }, "entries[6]"},
        {"an unknown kind", [](Json& j) { j["entries"][0]["kind"] = "CCBData_Other"; }, "CCBData_Other"},
        {"no format", [](Json& j) { j["entries"][0].erase("format"); }, "entries[0].format"},
        {"a format number too large", [](Json& j) { j["entries"][0]["format"]["number"] = 70000; },
         "entries[0].format.number"},
        {"a name for a predefined format", [](Json& j) { j["entries"][0]["format"]["name"] = "Text"; },
         "entries[0].format.name"},
        {"an index beyond 32 bits", [](Json& j) { j["entries"][0]["format"]["index"] = 3000000000u; },
         "entries[0].format.index"},
        {"a fraction for a size", [](Json& j) { j["entries"][0]["size"] = 24.5; }, "entries[0].size"},
        {"a negative size", [](Json& j) { j["entries"][0]["size"] = -1; }, "entries[0].size"},
        {"a tree icon out of range", [](Json& j) { j["entries"][0]["treeIcon"] = 4; }, "entries[0].treeIcon"},
        {"a row not text", [](Json& j) { j["entries"][0]["rows"][0] = 1; }, "entries[0].rows[0]"},
        {"data larger than the entry", [](Json& j) { j["entries"][0]["data"]["size"] = 25; }, "E1"},
        {"a stream used twice", [](Json& j) { j["entries"][1]["data"]["stream"] = "E1"; }, "E1 が二度"},
        {"a stream named like the manifest", [](Json& j) { j["entries"][0]["data"]["stream"] = "Snapshot"; },
         "entries[0].data.stream"},
        {"a stream name with a path", [](Json& j) { j["entries"][0]["data"]["stream"] = "..\\E1"; },
         "entries[0].data.stream"},
        {"a stream name too long", [](Json& j) { j["entries"][0]["data"]["stream"] = std::string(32, 'E'); },
         "entries[0].data.stream"},
        {"a palette of odd size", [](Json& j) { j["entries"][3]["children"][1]["palette"]["size"] = 1023; },
         "entries[3].children[1].palette.size"},
        {"metafile bits without their block", [](Json& j) { j["entries"][4].erase("picture"); }, "entries[4].bits"},
        {"bits far too large", [](Json& j) { j["entries"][4]["bits"]["size"] = kMaxGdiBytes + 1; },
         "entries[4].bits.size"},
        {"children not a list", [](Json& j) { j["entries"][3]["children"] = "none"; }, "entries[3].children"},
        {"allowed effects in words", [](Json& j) { j["allowedEffects"] = "copy"; }, "allowedEffects"},
        {"enumeration past the entries", [](Json& j) { j["enumeration"][1] = 8; }, "enumeration[1]"},
        {"enumeration not a list", [](Json& j) { j["enumeration"] = 0; }, "enumeration"},
        {"enumeration too long", [](Json& j) { j["enumeration"] = std::vector<int>(kMaxManifestEnumeration + 1, 0); },
         "enumeration"},
    };
    for (const Case& c : cases) {
        Json j = SampleJson();
        c.change(j);
        const ManifestReadResult read = ReadSnapshotManifest(j.dump());
        EXPECT_FALSE(read.ok) << c.what;
        EXPECT_NE(read.problem.find(c.problem), std::string::npos) << c.what << ": " << read.problem;
        EXPECT_TRUE(read.manifest.entries.empty()) << c.what;  // nothing half-read is handed out
    }
}

TEST(SnapshotManifest, TextThatIsNoManifest)
{
    for (const std::string text : {"", "{", "[1, 2]", "null", "{\"document\": \"Kavilo.Document\",}", "\xEF\xBB"}) {
        const ManifestReadResult read = ReadSnapshotManifest(text);
        EXPECT_FALSE(read.ok) << text;
        EXPECT_FALSE(read.problem.empty()) << text;
    }
    // Text that is not UTF-8 inside a string.
    std::string bad = SampleJson().dump();
    bad.replace(bad.find("paste"), 5, "pa\xFF\xFEste");
    EXPECT_FALSE(ReadSnapshotManifest(bad).ok);
    EXPECT_FALSE(ReadSnapshotManifest(std::string(kMaxManifestBytes + 1, ' ')).ok);
}

// Children nest as deep as a capture walks, and no deeper; brackets inside strings are text.
TEST(SnapshotManifest, NestingAsDeepAsACaptureWalks)
{
    auto nested = [](int levels) {
        SnapshotManifest m;
        ManifestEntry inner = Entry(ManifestKind::Generic, "[[[{{{");
        for (int i = 1; i < levels; ++i) {
            ManifestEntry outer = Entry(ManifestKind::Generic, "level");
            outer.hasChildren = true;
            outer.children.push_back(std::move(inner));
            inner = std::move(outer);
        }
        m.entries.push_back(std::move(inner));
        return WriteSnapshotManifest(m);
    };
    EXPECT_TRUE(ReadSnapshotManifest(nested(kMaxManifestDepth)).ok);
    const ManifestReadResult deeper = ReadSnapshotManifest(nested(kMaxManifestDepth + 1));
    EXPECT_FALSE(deeper.ok);
    EXPECT_NE(deeper.problem.find("深すぎ"), std::string::npos) << deeper.problem;
    // A hundred thousand open brackets are refused before anything is built of them.
    const ManifestReadResult brackets = ReadSnapshotManifest(std::string(100000, '['));
    EXPECT_FALSE(brackets.ok);
    EXPECT_NE(brackets.problem.find("深すぎ"), std::string::npos) << brackets.problem;
}

TEST(SnapshotManifest, OwnerIsOptionalAndEachOfItsMembersMayBeUnknown)
{
    SnapshotManifest known = Sample();
    known.owner = ManifestOwner{"C:\\Windows\\notepad.exe", 4242, "Notepad"};
    const ManifestReadResult full = ReadSnapshotManifest(WriteSnapshotManifest(known));
    ASSERT_TRUE(full.ok) << full.problem;
    EXPECT_EQ(full.manifest.owner, known.owner);

    // Unknown parts are written as null and read back as unknown.
    SnapshotManifest partly = Sample();
    partly.owner = ManifestOwner{std::nullopt, 7, std::nullopt};
    const Json written = Json::parse(WriteSnapshotManifest(partly));
    EXPECT_TRUE(written["owner"]["image"].is_null());
    EXPECT_TRUE(written["owner"]["windowClass"].is_null());
    EXPECT_EQ(written["version"], 1);  // an optional member keeps the version
    const ManifestReadResult read = ReadSnapshotManifest(written.dump());
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(read.manifest.owner, partly.owner);

    // A file without an owner (a drop, an older writer) has none; null is none too.
    EXPECT_FALSE(SampleJson().contains("owner"));
    EXPECT_FALSE(ReadSnapshotManifest(SampleJson().dump()).manifest.owner.has_value());
    Json nullOwner = SampleJson();
    nullOwner["owner"] = nullptr;
    const ManifestReadResult none = ReadSnapshotManifest(nullOwner.dump());
    ASSERT_TRUE(none.ok) << none.problem;
    EXPECT_FALSE(none.manifest.owner.has_value());

    // Wrong types are refused like any other member's.
    for (const Json& bad : {Json("notepad"), Json{{"pid", -1}}, Json{{"pid", "12"}}, Json{{"image", 5}},
                            Json{{"windowClass", Json::array()}}, Json{{"pid", 1ull << 33}}}) {
        Json j = SampleJson();
        j["owner"] = bad;
        const ManifestReadResult refused = ReadSnapshotManifest(j.dump());
        EXPECT_FALSE(refused.ok) << bad.dump();
        EXPECT_NE(refused.problem.find("owner"), std::string::npos) << refused.problem;
    }
}

// Bounds a real capture never reaches: distinct registered names and strings.
TEST(SnapshotManifest, NamesEntriesAndRowsAreBounded)
{
    auto named = [](size_t distinct, size_t entries) {
        SnapshotManifest m;
        for (size_t i = 0; i < entries; ++i) {
            ManifestEntry e = Entry(ManifestKind::Generic, "");
            e.format.number = 0xC000;
            e.format.name = "name " + std::to_string(i % distinct);
            m.entries.push_back(std::move(e));
        }
        return WriteSnapshotManifest(m);
    };
    // The same names used again and again count once.
    EXPECT_TRUE(ReadSnapshotManifest(named(kMaxManifestFormatNames, 3 * kMaxManifestFormatNames)).ok);
    const ManifestReadResult names =
        ReadSnapshotManifest(named(kMaxManifestFormatNames + 1, kMaxManifestFormatNames + 1));
    EXPECT_FALSE(names.ok);
    EXPECT_NE(names.problem.find("登録形式名が多すぎます（上限 1000 種類）"), std::string::npos) << names.problem;

    // Empty rows, the cheapest strings a manifest can list.
    Json rows = SampleJson();
    rows["entries"][0]["rows"] = Json::array();
    for (uint64_t i = 0; i <= kMaxManifestStrings; ++i) rows["entries"][0]["rows"].push_back("");
    const ManifestReadResult strings = ReadSnapshotManifest(rows.dump());
    EXPECT_FALSE(strings.ok);
    EXPECT_NE(strings.problem.find("文字列"), std::string::npos) << strings.problem;
}
