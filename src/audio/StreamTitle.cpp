// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/StreamTitle.h"

#include <QStringDecoder>
#include <algorithm>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isKeyChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

qsizetype skipBlanks(QByteArrayView text, qsizetype pos)
{
    while (pos < text.size() && isBlank(text.at(pos)))
        ++pos;
    return pos;
}

// The end of the key that starts at `pos`: the index of its "='", or -1
// when no key='value' pair starts there.
qsizetype keyEnd(QByteArrayView text, qsizetype pos)
{
    qsizetype end = pos;
    while (end < text.size() && isKeyChar(text.at(end)))
        ++end;
    if (end == pos || end + 1 >= text.size() || text.at(end) != '=' || text.at(end + 1) != '\'')
        return -1;
    return end;
}

bool onlyBlanksAndSemicolons(QByteArrayView rest)
{
    for (const char c : rest) {
        if (c != ';' && !isBlank(c))
            return false;
    }
    return true;
}

// The index of the quote that closes the value starting at `start`: the
// first "';" followed by another pair or by nothing more. Without such an
// end, a value runs to a final quote (the last semicolon missing), else to
// the last "';" (junk after it), else to the end of the text (cut short).
qsizetype valueEnd(QByteArrayView text, qsizetype start)
{
    qsizetype lastQuote = -1;
    for (qsizetype quote = text.indexOf("';", start); quote >= 0;
         quote = text.indexOf("';", quote + 1)) {
        const QByteArrayView rest = text.sliced(quote + 2);
        if (onlyBlanksAndSemicolons(rest) || keyEnd(text, skipBlanks(text, quote + 2)) >= 0)
            return quote;
        lastQuote = quote;
    }
    qsizetype end = text.size();
    while (end > start && isBlank(text.at(end - 1)))
        --end;
    if (end > start && text.at(end - 1) == '\'')
        return end - 1;
    return lastQuote >= 0 ? lastQuote : text.size();
}

bool equalsNoCase(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && qstrnicmp(a.data(), a.size(), b.data(), b.size()) == 0;
}

QString plainText(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return text.trimmed();
}

} // namespace

StreamTitle StreamTitle::fromMetadata(QByteArrayView block)
{
    // The block is padded to a multiple of 16 bytes with NULs; nothing after
    // the first NUL is text.
    const qsizetype nul = block.indexOf('\0');
    const QByteArrayView text = nul >= 0 ? block.first(nul) : block;

    StreamTitle result;
    qsizetype pos = 0;
    for (;;) {
        while (pos < text.size() && (text.at(pos) == ';' || isBlank(text.at(pos))))
            ++pos;
        const qsizetype nameEnd = keyEnd(text, pos);
        if (nameEnd < 0)
            break;
        const QByteArrayView key = text.sliced(pos, nameEnd - pos);
        const qsizetype start = nameEnd + 2;
        const qsizetype end = valueEnd(text, start);
        const QByteArrayView value = text.sliced(start, end - start);
        if (!result.hasTitle && equalsNoCase(key, "StreamTitle")) {
            result.title = plainText(value);
            result.hasTitle = true;
        } else if (!result.hasUrl && equalsNoCase(key, "StreamUrl")) {
            result.url = plainText(value);
            result.hasUrl = true;
        }
        pos = std::min(end + 2, text.size());
    }
    return result;
}
