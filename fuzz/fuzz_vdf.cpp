// SPDX-License-Identifier: GPL-3.0-or-later
// Parses arbitrary bytes as Valve KeyValues text (libraryfolders.vdf,
// appmanifest_<id>.acf) and checks what every parse must satisfy.

#include "game/KeyValues.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_vdf: %s\n", what);
    std::abort();
}

// Returns the number of entries below `node`, checking each on the way.
qsizetype check(const KeyValues &node, int depth)
{
    if (depth > KeyValuesMaxDepth + 1)
        fail("blocks nested deeper than allowed");
    if (!node.isBlock && !node.children.isEmpty())
        fail("a string value with children");
    if (node.isBlock && !node.value.isEmpty())
        fail("a block with a string value");
    qsizetype count = 0;
    for (const KeyValues &child : node.children) {
        if (node.child(child.key) == nullptr)
            fail("a child not found by its own key");
        count += 1 + check(child, depth + 1);
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    const KeyValuesParse parsed = parseKeyValues(bytes);
    if (parsed.root.has_value() == !parsed.error.isEmpty())
        fail("neither or both of a result and an error");
    if (!parsed.root)
        return 0;
    if (!parsed.root->isBlock)
        fail("the root is not a block");
    // Every entry takes at least one byte of input.
    if (check(*parsed.root, 0) > qsizetype(size))
        fail("more entries than bytes");
    return 0;
}
