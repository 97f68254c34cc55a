// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the input as an ID3 tag and as an MPEG-TS timed metadata packet, and
// checks that the text read is plain and that both readings agree: a whole
// tag reads the same either way, and a packet read without its header reads
// as the whole tag of one of the two versions.

#include "audio/Id3TextFrames.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_id3: %s\n", what);
    std::abort();
}

void checkPlain(const QString &value)
{
    if (value != value.trimmed())
        fail("a value keeps blanks around it");
    for (const QChar c : value) {
        if (c.category() == QChar::Other_Control)
            fail("a value keeps a control character");
    }
}

void check(const std::optional<Id3TextFrames> &frames)
{
    if (!frames)
        return;
    for (const char *id : {"TIT2", "TPE1", "TALB"})
        checkPlain(frames->text(id));
    checkPlain(frames->songTitle());
    if (frames->size() < 0)
        fail("a negative number of frames");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView input(data, qsizetype(size));
    const std::optional<Id3TextFrames> tag = Id3TextFrames::fromTag(input);
    const std::optional<Id3TextFrames> timed = Id3TextFrames::fromTimedMetadata(input);
    check(tag);
    check(timed);
    if (input.startsWith("ID3")) {
        if (bool(tag) != bool(timed) || (tag && tag->songTitle() != timed->songTitle()))
            fail("a whole tag reads differently as timed metadata");
        return 0;
    }
    if (timed) {
        bool matched = false;
        for (const char *header : {"ID3\x04", "ID3\x03"}) {
            const QByteArray whole = QByteArray(header, 4) + '\0' + input.toByteArray();
            const std::optional<Id3TextFrames> asTag = Id3TextFrames::fromTag(whole);
            matched = matched || (asTag && asTag->songTitle() == timed->songTitle() &&
                                  asTag->size() == timed->size());
        }
        if (!matched)
            fail("a packet without its header reads as no whole tag");
    }
    return 0;
}
