#pragma once
// The pieces of the task file's text: lines, values, quotes and escapes. Nothing here knows the
// fields.
#include <cstddef>
#include <string>
#include <string_view>

namespace kivo::csv {

// Lines end at CR, LF or NUL.
inline bool IsBreak(char c) {
    return c == '\r' || c == '\n' || c == '\0';
}

// Where the next line break lies at or after p; end when there is none.
const char* FindBreak(const char* p, const char* end);
// A run of breaks is one break, so no line is empty. Breaks before the first line are skipped
// too: a file that starts with an empty line still has its header.
const char* SkipBreaks(const char* p, const char* end);
// How many lines start at or after p, to make room for their tasks (a guess: files with CR alone
// as line end count fewer).
std::size_t CountLines(const char* p, const char* end);

// One value of a line, its doubled quotes undone.
struct Value {
    std::string_view text; // into the content, or into the scratch text when quotes were undone
    bool quoted = false;
    bool percent = false; // holds a "%": escapes may need undoing
};

// Takes the value that starts at p (before end, at no line break) and returns where the next one
// starts: past the ";" that ends it, or at the end of the line. An unquoted empty value (a ";"
// right away) is null. A quoted value runs to the next quote that is not doubled, ";" included;
// without its closing quote it runs to the end of the line. The character after the closing
// quote is skipped, normally the ";".
const char* TakeValue(const char* p, const char* end, Value& value, std::string& scratch);

// "%%", "%c", "%n" and "%0" stand for "%", CR, LF and NUL. Any other "%" (before another
// character or at the end) is kept as it is: hand-written text such as "50% korting" survives.
// Gives the text itself when it holds no "%", else the unescaped form in scratch.
std::string_view Unescape(std::string_view text, std::string& scratch);

// The value in quotes, its quotes doubled and, for a text field, with the escapes above.
void AppendQuoted(std::string& out, std::string_view value, bool escapes);

} // namespace kivo::csv
