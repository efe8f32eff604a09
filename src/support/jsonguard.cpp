#include "support/jsonguard.h"

#include <vector>

#include <QSet>
#include <QString>

namespace JsonGuard {

namespace {

// Most objects name a handful of keys: those are compared one by one, without a hash; an object
// with many keys moves them into a set, so that no text costs quadratic time.
constexpr int kListedKeys = 16;

struct Frame
{
    bool object = false;
    bool expectKey = false;
    std::vector<QByteArray> listed;
    QSet<QByteArray> hashed;

    // False when the object names key already.
    bool add(const QByteArray &key)
    {
        if (hashed.isEmpty() && int(listed.size()) < kListedKeys) {
            for (const QByteArray &known : listed)
                if (known == key)
                    return false;
            listed.push_back(key);
            return true;
        }
        if (hashed.isEmpty())
            for (const QByteArray &known : listed)
                hashed.insert(known);
        if (hashed.contains(key))
            return false;
        hashed.insert(key);
        return true;
    }
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

// Reads the string that opens at text[pos] (a quote); pos ends past the closing quote. With
// decode, key gets the string as the reader would compare it: its own bytes when it has no
// escape (no copy), else the UTF-8 of its decoded text.
bool readString(const QByteArray &text, int &pos, bool decode, QByteArray &key)
{
    const int size = text.size();
    const int start = ++pos;
    bool escaped = false;
    while (pos < size) {
        const char c = text.at(pos);
        if (c == '"')
            break;
        if (c == '\\') {
            escaped = true;
            ++pos;
        }
        ++pos;
    }
    if (pos >= size)
        return false;
    const int end = pos++;
    if (!decode)
        return true;
    if (!escaped) {
        key = QByteArray::fromRawData(text.constData() + start, end - start);
        return true;
    }
    QString out;
    int runStart = start;
    for (int i = start; i < end; ++i) {
        if (text.at(i) != '\\')
            continue;
        out += QString::fromUtf8(text.constData() + runStart, i - runStart);
        const char e = text.at(++i);
        if (e == 'u') {
            if (i + 4 >= end)
                return false;
            int unit = 0;
            for (int k = 1; k <= 4; ++k) {
                const int digit = hexValue(text.at(i + k));
                if (digit < 0)
                    return false;
                unit = unit * 16 + digit;
            }
            i += 4;
            out += QChar(static_cast<ushort>(unit));
        } else {
            switch (e) {
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
                out += QLatin1Char(e);
                break;
            }
        }
        runStart = i + 1;
    }
    out += QString::fromUtf8(text.constData() + runStart, end - runStart);
    key = out.toUtf8();
    return true;
}

}

bool repeatsKey(const QByteArray &utf8)
{
    // Deeper than the reader accepts is refused by the reader.
    constexpr size_t kMaxDepth = 4096;
    std::vector<Frame> stack;
    QByteArray key;
    int pos = 0;
    const int size = utf8.size();
    while (pos < size) {
        const char c = utf8.at(pos);
        switch (c) {
        case '{':
        case '[':
            if (stack.size() >= kMaxDepth)
                return false;
            stack.emplace_back();
            stack.back().object = stack.back().expectKey = c == '{';
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
                if (!frame.add(key))
                    return true;
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
