#include "decoders/Decoders.h"

#include "decoders/DecodeSupport.h"

#include <algorithm>

namespace {

const DecoderInfo kHtml{"HTML Format", &DecodeHtmlFormat};
const DecoderInfo kDropFiles{"DROPFILES", &DecodeDropFiles};
const DecoderInfo kFileGroupA{"FILEGROUPDESCRIPTORA", &DecodeFileGroupDescriptorA};
const DecoderInfo kFileGroupW{"FILEGROUPDESCRIPTORW", &DecodeFileGroupDescriptorW};
const DecoderInfo kCida{"CIDA", &DecodeShellIdList};
const DecoderInfo kObjectOffsets{"Shell Object Offsets", &DecodeShellObjectOffsets};
const DecoderInfo kDropEffect{"DROPEFFECT", &DecodeDropEffect};
const DecoderInfo kBool{"BOOL", &DecodeBool};
const DecoderInfo kWindow{"HWND", &DecodeWindowHandle};
const DecoderInfo kDropDescription{"DROPDESCRIPTION", &DecodeDropDescription};
const DecoderInfo kDragImage{"SHDRAGIMAGE", &DecodeDragImageBits};
const DecoderInfo kLocale{"LCID", &DecodeLocale};
const DecoderInfo kDib{"BITMAPINFO", &DecodeDib};
const DecoderInfo kBmp{"BMP", &DecodeBmpFile};
const DecoderInfo kPng{"PNG", &DecodePng};
const DecoderInfo kJpeg{"JPEG", &DecodeJpeg};
const DecoderInfo kGif{"GIF", &DecodeGif};
const DecoderInfo kMetaFilePict{"METAFILEPICT", &DecodeMetaFilePict};
const DecoderInfo kEnhMetaFile{"ENHMETAHEADER", &DecodeEnhMetaFile};
const DecoderInfo kObjectDescriptor{"OBJECTDESCRIPTOR", &DecodeObjectDescriptor};
const DecoderInfo kAnsiString{"ANSI 文字列", &DecodeAnsiString};
const DecoderInfo kWideString{"UTF-16 文字列", &DecodeWideString};
const DecoderInfo kMozUrl{"text/x-moz-url", &DecodeMozUrl};
const DecoderInfo kRtf{"RTF", &DecodeRtf};
const DecoderInfo kPickle{"Pickle", &DecodeChromiumCustomData};

struct NameRow {
    const char* name;
    const DecoderInfo* decoder;
};

const NameRow kFormats[] = {
    {"HTML Format", &kHtml},
    {"CF_HDROP", &kDropFiles},
    {"FileGroupDescriptor", &kFileGroupA},
    {"FileGroupDescriptorW", &kFileGroupW},
    {"Shell IDList Array", &kCida},
    {"Shell Object Offsets", &kObjectOffsets},
    {"Preferred DropEffect", &kDropEffect},
    {"Performed DropEffect", &kDropEffect},
    {"Logical Performed DropEffect", &kDropEffect},
    {"Paste Succeeded", &kDropEffect},
    {"DropDescription", &kDropDescription},
    {"DragImageBits", &kDragImage},
    {"IsShowingLayered", &kBool},
    {"IsShowingText", &kBool},
    {"UsingDefaultDragImage", &kBool},
    {"DisableDragText", &kBool},
    {"IsComputingImage", &kBool},
    {"InShellDragLoop", &kBool},
    {"DragWindow", &kWindow},
    {"CF_LOCALE", &kLocale},
    {"CF_DIB", &kDib},
    {"CF_DIBV5", &kDib},
    {"CF_METAFILEPICT", &kMetaFilePict},
    {"CF_ENHMETAFILE", &kEnhMetaFile},
    {"PNG", &kPng},
    {"image/png", &kPng},
    {"JFIF", &kJpeg},
    {"image/jpeg", &kJpeg},
    {"GIF", &kGif},
    {"image/gif", &kGif},
    {"image/bmp", &kBmp},
    {"Object Descriptor", &kObjectDescriptor},
    {"Link Source Descriptor", &kObjectDescriptor},
    {"UniformResourceLocator", &kAnsiString},
    {"FileName", &kAnsiString},
    {"UniformResourceLocatorW", &kWideString},
    {"FileNameW", &kWideString},
    {"text/x-moz-url", &kMozUrl},
    {"Rich Text Format", &kRtf},
    {"Chromium Web Custom MIME Data Format", &kPickle},
};

const NameRow kExtensions[] = {
    {".png", &kPng}, {".jpg", &kJpeg}, {".jpeg", &kJpeg},       {".jfif", &kJpeg}, {".gif", &kGif},
    {".bmp", &kBmp}, {".dib", &kBmp},  {".emf", &kEnhMetaFile}, {".rtf", &kRtf},
};

// Clipboard format names are compared without regard to ASCII case, as the system registers them.
bool SameName(std::string_view a, const char* b)
{
    const std::string_view other(b);
    if (a.size() != other.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = other[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

const DecoderInfo* FindDecoder(std::string_view formatName, std::string_view fileExtension)
{
    for (const NameRow& row : kFormats)
        if (SameName(formatName, row.name)) return row.decoder;
    if (!fileExtension.empty())
        for (const NameRow& row : kExtensions)
            if (SameName(fileExtension, row.name)) return row.decoder;
    return nullptr;
}

const std::vector<const DecoderInfo*>& AllDecoders()
{
    static const std::vector<const DecoderInfo*> all = {
        &kHtml,          &kDropFiles,  &kFileGroupA,   &kFileGroupW,  &kCida,
        &kObjectOffsets, &kDropEffect, &kBool,         &kWindow,      &kDropDescription,
        &kDragImage,     &kLocale,     &kDib,          &kBmp,         &kPng,
        &kJpeg,          &kGif,        &kMetaFilePict, &kEnhMetaFile, &kObjectDescriptor,
        &kAnsiString,    &kWideString, &kMozUrl,       &kRtf,         &kPickle};
    return all;
}

DecodedTree RunDecoder(const DecoderInfo& decoder, const DecodeInput& input)
{
    static const uint8_t kNothing = 0;
    DecodeInput bounded = input;
    if (!bounded.data) {
        bounded.data = &kNothing;
        bounded.size = 0;
    }
    const bool cut = bounded.size > kMaxDecodedBytes;
    if (cut) bounded.size = kMaxDecodedBytes;
    DecodedTree tree = decoder.decode(bounded);
    tree.decoder = decoder.name;
    if (cut)
        tree.warnings.insert(
            tree.warnings.begin(),
            "先頭の " + Dec(kMaxDecodedBytes) + " バイトだけを解析しました (データは " + Dec(input.size) + " バイト)");
    return tree;
}
