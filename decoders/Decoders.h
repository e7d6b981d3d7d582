// The registry of decoders: which formats (by registered name or standard constant name,
// "HTML Format", "CF_HDROP") and which stored file types (by extension, ".png") have a
// decoder, and the call that decodes a block. No <windows.h>: what only the platform
// knows (ANSI text, locale names, local time) is handed in as functions.
#pragma once

#include "decoders/DecodedTree.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct LocaleFacts {
    std::string name;  // "ja-JP"
    uint32_t ansiCodePage = 0;
    uint32_t oemCodePage = 0;
};

struct DecodeInput {
    const uint8_t* data = nullptr;
    size_t size = 0;
    // The entry's code page for 8-bit text (0: the system's ANSI code page).
    int codePage = 0;
    // 8-bit text in a code page (0: ANSI, 1: OEM, else the number) as UTF-8. Without it,
    // ASCII is kept and other bytes are shown as \xNN.
    std::function<std::string(const uint8_t* bytes, size_t length, int codePage)> ansiText;
    // A locale identifier's name and code pages; without it (or when it knows nothing)
    // a small built-in table answers.
    std::function<std::optional<LocaleFacts>(uint32_t lcid)> locale;
    // A FILETIME (100 ns since 1601, UTC) as local time "YYYY-MM-DD hh:mm:ss"; optional.
    std::function<std::string(uint64_t fileTime)> localTime;
};

using DecodeFunction = DecodedTree (*)(const DecodeInput& input);

struct DecoderInfo {
    const char* name;  // the decoder's name, as reported
    DecodeFunction decode;
};

// The decoder of a format: `formatName` is the registered name ("HTML Format") or the
// standard format's constant ("CF_DIB"); `fileExtension` the stored file's extension
// with its dot (".png"), or empty. The format name is looked up first. Null: none.
const DecoderInfo* FindDecoder(std::string_view formatName, std::string_view fileExtension);

// Every decoder, for the fuzz target and the tests.
const std::vector<const DecoderInfo*>& AllDecoders();

// Blocks larger than this are decoded over their first part only, with a warning.
inline constexpr size_t kMaxDecodedBytes = 64u << 20;
// A decoder stops adding fields past this many (lazily made children count once each).
inline constexpr size_t kMaxDecodedFields = 200000;

// Decodes the block (its first kMaxDecodedBytes at most, with a warning when cut). Lazy
// children read input.data: it must outlive the tree.
DecodedTree RunDecoder(const DecoderInfo& decoder, const DecodeInput& input);
