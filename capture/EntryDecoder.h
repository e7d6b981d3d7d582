// The decoder of an entry, and the entry's bytes decoded by it: the Windows side of the
// decoders (the format's registered or standard name, the stored file's extension, the
// bytes read back from the temporary file, and what only the system knows — ANSI text,
// locale names, local time).
#pragma once

#include "decoders/Decoders.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CCBData;

// The name decoders know the entry's format by: a standard format's constant ("CF_HDROP")
// or the registered name as registered ("HTML Format").
std::string DecoderFormatName(const CCBData& entry);
// The decoder for the entry's format or stored file type; null when there is none or the
// entry holds no bytes.
const DecoderInfo* FindEntryDecoder(const CCBData& entry);

struct EntryDecoding {
    // The bytes the tree was made from (the first kMaxDecodedBytes at most); lazy children
    // read them, so they live as long as the tree.
    std::shared_ptr<std::vector<uint8_t>> bytes;
    DecodedTree tree;
};

// Decodes the entry; null when it has no decoder or its bytes cannot be read.
std::unique_ptr<EntryDecoding> DecodeEntry(const CCBData& entry);

// The system's answers for the decoders.
DecodeInput SystemDecodeInput(const uint8_t* data, size_t size);
