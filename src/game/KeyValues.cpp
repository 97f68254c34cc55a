// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/KeyValues.h"

#include <vector>

namespace {

struct Token
{
    enum class Kind { End, String, Open, Close, Condition, Error };
    Kind kind = Kind::End;
    QString text; // the string, or the error message
    int line = 1;
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Splits the text into strings, braces and conditions, skipping white space
// and comments.
class Tokenizer
{
public:
    explicit Tokenizer(QByteArrayView text)
        : m_text(text)
    {}

    Token next()
    {
        skipSpaceAndComments();
        Token token;
        token.line = m_line;
        if (m_pos >= m_text.size())
            return token;
        const char c = m_text[m_pos];
        if (c == '{' || c == '}') {
            ++m_pos;
            token.kind = c == '{' ? Token::Kind::Open : Token::Kind::Close;
            return token;
        }
        if (c == '"')
            return quoted(token);
        if (c == '[')
            return condition(token);
        return bare(token);
    }

private:
    void skipSpaceAndComments()
    {
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c == '\n') {
                ++m_line;
                ++m_pos;
            } else if (isSpace(c)) {
                ++m_pos;
            } else if (c == '/' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '/') {
                while (m_pos < m_text.size() && m_text[m_pos] != '\n')
                    ++m_pos;
            } else {
                return;
            }
        }
    }

    Token quoted(Token token)
    {
        ++m_pos; // the opening quote
        QByteArray bytes;
        while (m_pos < m_text.size()) {
            char c = m_text[m_pos++];
            if (c == '"') {
                token.kind = Token::Kind::String;
                token.text = QString::fromUtf8(bytes);
                return token;
            }
            if (c == '\n')
                ++m_line;
            if (c == '\\' && m_pos < m_text.size()) {
                // Unknown escapes keep their backslash, as Steam does.
                switch (m_text[m_pos]) {
                case 'n':
                    c = '\n';
                    ++m_pos;
                    break;
                case 't':
                    c = '\t';
                    ++m_pos;
                    break;
                case '\\':
                case '"':
                    c = m_text[m_pos++];
                    break;
                default:
                    break;
                }
            }
            bytes.append(c);
        }
        return error(token, QStringLiteral("unterminated string"));
    }

    Token condition(Token token)
    {
        const qsizetype start = ++m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != ']' && m_text[m_pos] != '\n')
            ++m_pos;
        if (m_pos >= m_text.size() || m_text[m_pos] != ']')
            return error(token, QStringLiteral("unterminated condition"));
        token.kind = Token::Kind::Condition;
        token.text = QString::fromUtf8(m_text.sliced(start, m_pos - start));
        ++m_pos;
        return token;
    }

    Token bare(Token token)
    {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (isSpace(c) || c == '{' || c == '}' || c == '"')
                break;
            ++m_pos;
        }
        token.kind = Token::Kind::String;
        token.text = QString::fromUtf8(m_text.sliced(start, m_pos - start));
        return token;
    }

    static Token error(Token token, const QString &message)
    {
        token.kind = Token::Kind::Error;
        token.text = message;
        return token;
    }

    QByteArrayView m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
};

KeyValuesParse failure(int line, const QString &message)
{
    return {std::nullopt, QStringLiteral("line %1: %2").arg(line).arg(message)};
}

} // namespace

const KeyValues *KeyValues::child(QStringView name) const
{
    for (const KeyValues &entry : children) {
        if (entry.key.compare(name, Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

QString KeyValues::childValue(QStringView name) const
{
    const KeyValues *entry = child(name);
    return entry && !entry->isBlock ? entry->value : QString();
}

KeyValuesParse parseKeyValues(QByteArrayView text)
{
    // The blocks being filled, innermost last; an explicit stack, so that
    // deep nesting cannot exhaust the call stack.
    std::vector<KeyValues> open(1);
    open.front().isBlock = true;
    Tokenizer tokenizer(text);
    Token token = tokenizer.next();
    for (;;) {
        switch (token.kind) {
        case Token::Kind::Error:
            return failure(token.line, token.text);
        case Token::Kind::End:
            if (open.size() > 1)
                return failure(token.line, QStringLiteral("missing '}' at the end"));
            return {std::move(open.front()), QString()};
        case Token::Kind::Close: {
            if (open.size() == 1)
                return failure(token.line, QStringLiteral("'}' without a block to close"));
            KeyValues finished = std::move(open.back());
            open.pop_back();
            open.back().children.append(std::move(finished));
            token = tokenizer.next();
            if (token.kind == Token::Kind::Condition)
                token = tokenizer.next();
            break;
        }
        case Token::Kind::Open:
            return failure(token.line, QStringLiteral("'{' where a key was expected"));
        case Token::Kind::Condition:
            return failure(token.line, QStringLiteral("condition where a key was expected"));
        case Token::Kind::String: {
            KeyValues entry;
            entry.key = token.text;
            const Token value = tokenizer.next();
            if (value.kind == Token::Kind::Error)
                return failure(value.line, value.text);
            if (value.kind == Token::Kind::Open) {
                if (int(open.size()) > KeyValuesMaxDepth)
                    return failure(value.line, QStringLiteral("blocks nested too deep"));
                entry.isBlock = true;
                open.push_back(std::move(entry));
                token = tokenizer.next();
                break;
            }
            if (value.kind != Token::Kind::String)
                return failure(value.line,
                               QStringLiteral("key \"%1\" has no value").arg(entry.key));
            entry.value = value.text;
            open.back().children.append(std::move(entry));
            token = tokenizer.next();
            if (token.kind == Token::Kind::Condition)
                token = tokenizer.next();
            break;
        }
        }
    }
}
