// Fuzz target over every decoder: the first byte picks the decoder, the rest is the block.
// Every field must lie inside the block (zero-length fields may sit at its end), every
// lazy child is made, and every value is walked so that the sanitizers see each read.
#include "decoders/Decoders.h"

#include <cstdlib>
#include <vector>

namespace {

volatile size_t g_sink;

void Check(DecodedField& field, size_t size, int depth)
{
    if (field.offset > size || field.size > size - field.offset) {
        // Fields that stand for what is missing say so with a warning.
        if (field.warnings.empty() && field.lazyWarnings == 0) std::abort();
    }
    if (depth > 16) std::abort();
    g_sink = field.name.size() + field.value.size() + field.meaning.size();
    const size_t expected = CountWarnings(field);
    field.Children();
    if (CountWarnings(field) != expected) std::abort();
    for (DecodedField& child : field.children) Check(child, size, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const auto& decoders = AllDecoders();
    const DecoderInfo& decoder = *decoders[data[0] % decoders.size()];
    // A private copy of exactly the block, so that a read one past the end is caught.
    std::vector<uint8_t> copy(data + 1, data + size);
    DecodeInput input;
    input.data = copy.data();
    input.size = copy.size();
    DecodedTree tree = RunDecoder(decoder, input);
    for (DecodedField& field : tree.fields) Check(field, copy.size(), 0);
    return 0;
}
