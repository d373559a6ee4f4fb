#include "store/csvtokens.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kivo::csv {

namespace {

// How the reader sees a character: where a line or a value may end, or what may need undoing.
enum CharKind : unsigned char { Plain, LineBreak, Delimiter, Quote, Percent };

constexpr std::array<unsigned char, 256> KindOf = [] {
    std::array<unsigned char, 256> kinds{};
    for (char c : {'\r', '\n', '\0'}) kinds[static_cast<unsigned char>(c)] = LineBreak;
    kinds[static_cast<unsigned char>(';')] = Delimiter;
    kinds[static_cast<unsigned char>('"')] = Quote;
    kinds[static_cast<unsigned char>('%')] = Percent;
    return kinds;
}();

CharKind Kind(char c) {
    return static_cast<CharKind>(KindOf[static_cast<unsigned char>(c)]);
}

// The first character at or after p at which a value may end, and its kind: a line break (also
// for end, when there is none), ";", the double quote, or another control character, which is
// plain text. Notes whether a "%" comes before it, which may need undoing. Sixteen bytes at a
// time where the processor has SSE2, as every x86-64 has: a loop over single bytes cost more
// than the rest of the reading.
[[gnu::always_inline]] inline const char* FindValueEnd(const char* p, const char* end,
                                                       CharKind& kind, bool& percent) {
#if defined(__SSE2__)
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        auto maskOf = [&](char c) {
            return static_cast<unsigned>(
                _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
        };
        const unsigned controls = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(13)), bytes)));
        const unsigned quotes = maskOf('"');
        const unsigned semicolons = maskOf(';');
        const unsigned percents = maskOf('%');
        const unsigned stops = controls | quotes | semicolons;
        if (stops != 0) {
            const unsigned first = stops & (0u - stops);
            if ((percents & (first - 1)) != 0) percent = true;
            p += std::countr_zero(stops);
            kind = (quotes & first) ? Quote : (semicolons & first) ? Delimiter : Kind(*p);
            return p;
        }
        if (percents != 0) percent = true;
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        kind = Kind(*p);
        if (kind == Percent)
            percent = true;
        else if (kind != Plain)
            return p;
    }
    kind = LineBreak;
    return end;
}

// Characters that are written in a second form: 1 always (the quote), 2 in escaped text.
constexpr std::array<unsigned char, 256> SpecialChars = [] {
    std::array<unsigned char, 256> table{};
    table[static_cast<unsigned char>('"')] = 1;
    for (char c : {'%', '\r', '\n', '\0'}) table[static_cast<unsigned char>(c)] = 2;
    return table;
}();

} // namespace

const char* FindBreak(const char* p, const char* end) {
    for (;;) {
        // Eight bytes at a time: a word with no byte below 14 holds no break.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if (((word - 0x0E0E0E0E0E0E0E0EULL) & ~word & 0x8080808080808080ULL) != 0) break;
            p += 8;
        }
        const char* stop = end - p >= 8 ? p + 8 : end;
        for (; p < stop; ++p)
            if (IsBreak(*p)) return p;
        if (p >= end) return end;
    }
}

const char* SkipBreaks(const char* p, const char* end) {
    while (p < end && IsBreak(*p)) ++p;
    return p;
}

// The LFs that end a line which is not empty.
std::size_t CountLines(const char* p, const char* end) {
    const char* const begin = p;
    std::size_t count = 0;
    while (p < end) {
        const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (!lf) break;
        const char* before = static_cast<const char*>(lf);
        if (before > begin && before[-1] == '\r') --before;
        if (before > begin && !IsBreak(before[-1])) ++count;
        p = static_cast<const char*>(lf) + 1;
    }
    return count;
}

const char* TakeValue(const char* p, const char* end, Value& value, std::string& scratch) {
    value.percent = false;
    value.quoted = *p == '"';
    if (!value.quoted) {
        const char* const start = p;
        for (CharKind kind;; ++p) {
            p = FindValueEnd(p, end, kind, value.percent);
            if (kind == LineBreak) break;
            if (kind == Delimiter) {
                value.text = std::string_view(start, static_cast<std::size_t>(p - start));
                return p + 1;
            }
        }
        value.text = std::string_view(start, static_cast<std::size_t>(p - start));
        return p;
    }
    const char* start = ++p;
    bool undone = false; // the text is in scratch
    auto take = [&](const char* stop) {
        const std::size_t length = static_cast<std::size_t>(stop - start);
        if (undone) {
            scratch.append(start, length);
            value.text = scratch;
        } else {
            value.text = std::string_view(start, length);
        }
    };
    for (CharKind kind;; ++p) {
        p = FindValueEnd(p, end, kind, value.percent);
        if (kind == LineBreak) break;
        if (kind == Quote) {
            if (p + 1 < end && p[1] == '"') {
                // A pair stands for one quote: the text up to and with the first of them.
                if (!undone) scratch.clear();
                undone = true;
                scratch.append(start, static_cast<std::size_t>(p + 1 - start));
                ++p; // onto the second, which the loop steps past
                start = p + 1;
                continue;
            }
            take(p);
            ++p;
            return p < end && !IsBreak(*p) ? p + 1 : p;
        }
    }
    take(p);
    return p;
}

std::string_view Unescape(std::string_view text, std::string& scratch) {
    std::size_t percent = text.find('%');
    if (percent == std::string_view::npos) return text;
    scratch.assign(text.substr(0, percent));
    for (std::size_t i = percent; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size()) {
            char plain = 0;
            bool known = true;
            switch (text[i + 1]) {
            case '%':
                plain = '%';
                break;
            case 'c':
                plain = '\r';
                break;
            case 'n':
                plain = '\n';
                break;
            case '0':
                plain = '\0';
                break;
            default:
                known = false;
                break;
            }
            if (known) {
                scratch += plain;
                ++i;
                continue;
            }
        }
        scratch += text[i];
    }
    return scratch;
}

void AppendQuoted(std::string& out, std::string_view value, bool escapes) {
    out += '"';
    // Plain stretches go in whole; only the characters that need a second form are looked at.
    const unsigned char mask = escapes ? 3 : 1;
    std::size_t plain = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if ((SpecialChars[static_cast<unsigned char>(c)] & mask) == 0) continue;
        out.append(value.data() + plain, i - plain);
        plain = i + 1;
        if (c == '"') {
            out += "\"\"";
        } else {
            out += '%';
            out += c == '%' ? '%' : c == '\r' ? 'c' : c == '\n' ? 'n' : '0';
        }
    }
    out.append(value.data() + plain, value.size() - plain);
    out += '"';
}

} // namespace kivo::csv
