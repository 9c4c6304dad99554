#pragma once

#include <charconv>
#include <cstdint>
#include <string>

// A fast scanner for the common case of a store file: well-formed JSON, nested a few levels at
// most. It drives the same SAX handler as nlohmann's parser and gives it the same events for
// every input it accepts. Anything it is not sure about (a syntax error, deep nesting, a lone
// surrogate, a byte-order mark, a number out of range) makes it return false; the caller then
// starts over with a fresh handler and the full parser, which finds and words the error.
namespace jsonscan {

inline constexpr int kMaxDepth = 8;

namespace detail {

inline bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

inline int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

inline void appendUtf8(std::string &out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Length of the well-formed UTF-8 sequence at p (RFC 3629), or 0.
inline int utf8Length(const unsigned char *p, const unsigned char *end)
{
    const auto within = [&](int i, unsigned char lo, unsigned char hi) {
        return p + i < end && p[i] >= lo && p[i] <= hi;
    };
    const unsigned char c = p[0];
    if (c >= 0xC2 && c <= 0xDF)
        return within(1, 0x80, 0xBF) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const unsigned char lo = c == 0xE0 ? 0xA0 : 0x80;
        const unsigned char hi = c == 0xED ? 0x9F : 0xBF;
        return within(1, lo, hi) && within(2, 0x80, 0xBF) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const unsigned char lo = c == 0xF0 ? 0x90 : 0x80;
        const unsigned char hi = c == 0xF4 ? 0x8F : 0xBF;
        return within(1, lo, hi) && within(2, 0x80, 0xBF) && within(3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

class Scanner
{
public:
    Scanner(const char *begin, const char *end) : m_p(begin), m_end(end) {}

    // The string starting after its opening quote; leaves m_p after the closing quote.
    bool string(std::string &out)
    {
        out.clear();
        const char *run = m_p;
        while (m_p < m_end) {
            const auto c = static_cast<unsigned char>(*m_p);
            if (c == '"') {
                out.append(run, m_p);
                ++m_p;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c < 0x80 && c != '\\') {
                ++m_p;
                continue;
            }
            if (c >= 0x80) {
                const int n = utf8Length(reinterpret_cast<const unsigned char *>(m_p),
                                         reinterpret_cast<const unsigned char *>(m_end));
                if (n == 0)
                    return false;
                m_p += n;
                continue;
            }
            out.append(run, m_p);
            if (!escape(out))
                return false;
            run = m_p;
        }
        return false;
    }

    bool number(double &value)
    {
        const char *start = m_p;
        if (m_p < m_end && *m_p == '-')
            ++m_p;
        if (m_p >= m_end)
            return false;
        if (*m_p == '0') {
            ++m_p;
        } else if (*m_p >= '1' && *m_p <= '9') {
            digits();
        } else {
            return false;
        }
        bool integer = true;
        if (m_p < m_end && *m_p == '.') {
            ++m_p;
            integer = false;
            if (digits() == 0)
                return false;
        }
        if (m_p < m_end && (*m_p == 'e' || *m_p == 'E')) {
            ++m_p;
            integer = false;
            if (m_p < m_end && (*m_p == '+' || *m_p == '-'))
                ++m_p;
            if (digits() == 0)
                return false;
        }
        const auto [end, ec] = std::from_chars(start, m_p, value);
        // The full parser reads "-0" as the integer 0.
        if (integer && value == 0)
            value = 0;
        return ec == std::errc() && end == m_p;
    }

    bool literal(const char *word)
    {
        for (; *word; ++word, ++m_p) {
            if (m_p >= m_end || *m_p != *word)
                return false;
        }
        return true;
    }

    // The next character that is not white space, or 0 at the end.
    char next()
    {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
        return m_p < m_end ? *m_p : '\0';
    }
    void advance() { ++m_p; }
    bool atEnd() const { return m_p >= m_end; }

private:
    int digits()
    {
        int n = 0;
        while (m_p < m_end && *m_p >= '0' && *m_p <= '9') {
            ++m_p;
            ++n;
        }
        return n;
    }

    bool hex4(std::uint32_t &value)
    {
        if (m_end - m_p < 4)
            return false;
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const int h = hexValue(m_p[i]);
            if (h < 0)
                return false;
            value = value << 4 | std::uint32_t(h);
        }
        m_p += 4;
        return true;
    }

    // After a backslash.
    bool escape(std::string &out)
    {
        ++m_p;
        if (m_p >= m_end)
            return false;
        const char c = *m_p++;
        switch (c) {
        case '"':
        case '\\':
        case '/':
            out += c;
            return true;
        case 'b':
            out += '\b';
            return true;
        case 'f':
            out += '\f';
            return true;
        case 'n':
            out += '\n';
            return true;
        case 'r':
            out += '\r';
            return true;
        case 't':
            out += '\t';
            return true;
        case 'u':
            break;
        default:
            return false;
        }
        std::uint32_t cp = 0;
        if (!hex4(cp) || (cp >= 0xDC00 && cp <= 0xDFFF))
            return false;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            std::uint32_t low = 0;
            if (m_end - m_p < 2 || m_p[0] != '\\' || m_p[1] != 'u')
                return false;
            m_p += 2;
            if (!hex4(low) || low < 0xDC00 || low > 0xDFFF)
                return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, cp);
        return true;
    }

    const char *m_p;
    const char *m_end;
};

} // namespace detail

// Feeds `handler` (nlohmann's SAX interface) with the events of the document in
// [begin, end). True when the whole document was scanned; false means "not sure": the handler
// has then seen only a prefix and must be thrown away.
template <class Handler> bool scan(const char *begin, const char *end, Handler &handler)
{
    detail::Scanner in(begin, end);
    bool isObject[kMaxDepth];
    int depth = 0;
    std::string text;
    // Each turn reads one value; containers are opened here and closed below.
    for (;;) {
        const char c = in.next();
        bool value = true;
        if (c == '{' || c == '[') {
            if (depth == kMaxDepth)
                return false;
            in.advance();
            isObject[depth++] = c == '{';
            if (c == '{' ? !handler.start_object(std::size_t(-1))
                         : !handler.start_array(std::size_t(-1)))
                return false;
            const char close = in.next();
            if (close == (c == '{' ? '}' : ']')) {
                in.advance();
                --depth;
                if (c == '{' ? !handler.end_object() : !handler.end_array())
                    return false;
            } else {
                value = false; // the first member or element follows
            }
        } else if (c == '"') {
            in.advance();
            if (!in.string(text) || !handler.string(text))
                return false;
        } else if (c == 't' || c == 'f') {
            if (!in.literal(c == 't' ? "true" : "false") || !handler.boolean(c == 't'))
                return false;
        } else if (c == 'n') {
            if (!in.literal("null") || !handler.null())
                return false;
        } else {
            double number = 0;
            if (!in.number(number) || !handler.number_float(number, std::string()))
                return false;
        }

        // After a value: a separator, or the end of one or more containers.
        while (value) {
            if (depth == 0) {
                in.next();
                return in.atEnd();
            }
            const char after = in.next();
            const bool object = isObject[depth - 1];
            if (after == ',') {
                in.advance();
                break;
            }
            if (after != (object ? '}' : ']'))
                return false;
            in.advance();
            --depth;
            if (object ? !handler.end_object() : !handler.end_array())
                return false;
        }
        // Inside an object every value comes after its key.
        if (depth > 0 && isObject[depth - 1]) {
            if (in.next() != '"')
                return false;
            in.advance();
            if (!in.string(text) || !handler.key(text))
                return false;
            if (in.next() != ':')
                return false;
            in.advance();
        }
    }
}

} // namespace jsonscan
