#include "support/jsonguard.h"

#include <vector>

#include <QSet>
#include <QString>

namespace JsonGuard {

namespace {

struct Frame
{
    bool object = false;
    bool expectKey = false;
    QSet<QString> keys;
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads the string that opens at text[pos] (a quote); pos ends past the closing quote. Escapes
// are decoded only when the string is a key (decode), which is all the check needs.
bool readString(const QByteArray &text, int &pos, bool decode, QString &out)
{
    const int size = text.size();
    int runStart = ++pos;
    out.clear();
    while (pos < size) {
        const char c = text.at(pos);
        if (c == '"') {
            if (decode)
                out += QString::fromUtf8(text.constData() + runStart, pos - runStart);
            ++pos;
            return true;
        }
        if (c != '\\') {
            ++pos;
            continue;
        }
        if (decode)
            out += QString::fromUtf8(text.constData() + runStart, pos - runStart);
        if (++pos >= size)
            return false;
        const char escaped = text.at(pos++);
        if (escaped == 'u') {
            if (pos + 4 > size)
                return false;
            int unit = 0;
            for (int i = 0; i < 4; ++i) {
                const int digit = hexValue(text.at(pos + i));
                if (digit < 0)
                    return false;
                unit = unit * 16 + digit;
            }
            pos += 4;
            if (decode)
                out += QChar(static_cast<ushort>(unit));
        } else if (decode) {
            switch (escaped) {
            case 'b':
                out += QLatin1Char('\b');
                break;
            case 'f':
                out += QLatin1Char('\f');
                break;
            case 'n':
                out += QLatin1Char('\n');
                break;
            case 'r':
                out += QLatin1Char('\r');
                break;
            case 't':
                out += QLatin1Char('\t');
                break;
            default:
                out += QLatin1Char(escaped);
                break;
            }
        }
        runStart = pos;
    }
    return false;
}

}

bool repeatsKey(const QByteArray &utf8)
{
    // Deeper than the reader accepts is refused by the reader.
    constexpr size_t kMaxDepth = 4096;
    std::vector<Frame> stack;
    QString key;
    int pos = 0;
    const int size = utf8.size();
    while (pos < size) {
        const char c = utf8.at(pos);
        switch (c) {
        case '{':
        case '[':
            if (stack.size() >= kMaxDepth)
                return false;
            stack.push_back(Frame {c == '{', c == '{', {}});
            ++pos;
            break;
        case '}':
        case ']':
            if (stack.empty())
                return false;
            stack.pop_back();
            ++pos;
            break;
        case ',':
            if (!stack.empty() && stack.back().object)
                stack.back().expectKey = true;
            ++pos;
            break;
        case '"': {
            const bool isKey = !stack.empty() && stack.back().object && stack.back().expectKey;
            if (!readString(utf8, pos, isKey, key))
                return false;
            if (isKey) {
                Frame &frame = stack.back();
                frame.expectKey = false;
                if (frame.keys.contains(key))
                    return true;
                frame.keys.insert(key);
            }
            break;
        }
        default:
            ++pos;
            break;
        }
    }
    return false;
}

}
