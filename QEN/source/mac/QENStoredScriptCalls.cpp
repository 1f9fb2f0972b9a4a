// QENStoredScriptCalls: the calls with literal arguments read from a piece of a stored script.
#include "QENStoredScriptCalls.h"

#include "platform/formats/UnicodeText.h"

#include <algorithm>
#include <memory>

namespace {

// Bytes from at that are one UTF-8 character allowed in a string literal: not a line terminator
// (U+2028, U+2029 included) and not malformed; 0 for none.
std::size_t LiteralCharacter(const std::string& text, std::size_t at, std::size_t end)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    const platform::UnicodeText::UTF8Sequence sequence =
        platform::UnicodeText::DecodeUTF8(text.data() + at, end - at, platform::UnicodeText::kNoLineSeparators);
    return sequence.valid ? sequence.length : 0;
}

// A string literal in single or double quotes without escapes, or a decimal integer literal
// (without a leading zero, which would make it octal); at moves past it.
bool ReadLiteral(const std::string& text, std::size_t& at, std::size_t end, Mivor::Variant& value)
{
    if (at >= end)
        return false;
    const char first = text[at];
    if (first == '\'' || first == '"') {
        const std::size_t start = at + 1;
        std::size_t next = start;
        while (next < end && text[next] != first) {
            if (text[next] == '\\')
                return false;
            const std::size_t length = LiteralCharacter(text, next, end);
            if (length == 0)
                return false;
            next += length;
        }
        if (next >= end)
            return false;
        value.setString(Mivor::String(text.data() + start, next - start, Mivor::Encoder::getUtf8()));
        at = next + 1;
        return true;
    }
    const std::size_t kMaxDigits = 15;  // every such number is exact as a double
    std::size_t next = at;
    while (next < end && text[next] >= '0' && text[next] <= '9')
        ++next;
    if (next == at || next - at > kMaxDigits || (first == '0' && next - at > 1))
        return false;
    value.setDouble(static_cast<double>(std::stoll(text.substr(at, next - at))));
    at = next;
    return true;
}

// A call "Name(literal, ...)" (the name capitalised, so no keyword) from at; at moves past it.
bool ReadCall(const std::string& text, std::size_t& at, std::size_t end, Pelvo::Engine::CallStatement& call)
{
    const std::size_t begin = at;
    if (at >= end || text[at] < 'A' || text[at] > 'Z')
        return false;
    const auto nameCharacter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    };
    while (at < end && nameCharacter(text[at]))
        ++at;
    if (at >= end || text[at] != '(')
        return false;
    call.name.assign(text, begin, at - begin);
    ++at;
    if (at < end && text[at] != ')') {
        for (;;) {
            if (!ReadLiteral(text, at, end, call.arguments.appendUndefined()))
                return false;
            if (at < end && text[at] == ',') {
                ++at;
                if (at < end && text[at] == ' ')
                    ++at;
                continue;
            }
            break;
        }
    }
    if (at >= end || text[at] != ')')
        return false;
    ++at;
    return true;
}

// One line "Name(literal, ...);", the line without its end.
bool ReadCallLine(const std::string& text, std::size_t begin, std::size_t end, Pelvo::Engine::CallStatement& call)
{
    std::size_t at = begin;
    if (!ReadCall(text, at, end, call) || end - at != 1 || text[at] != ';')
        return false;
    call.text.assign(text, begin, end - begin);
    return true;
}

// Moves at past blanks, tabs and line ends, counting the line ends.
void SkipSpace(const std::string& text, std::size_t& at, std::size_t end, std::int32_t& lines)
{
    for (; at < end && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n'); ++at)
        lines += text[at] == '\n' ? 1 : 0;
}

// A statement "if (Condition(literal, ...)) { Name(literal, ...); }" from begin, as the engine
// stores an entry that has a condition (over three lines) or as a maker writes one (on one):
// call gets the call inside, with the condition; next gets where the statement's last line ends.
bool ReadConditionalCall(const std::string& text, std::size_t begin, std::size_t end, std::int32_t line,
                         Pelvo::Engine::CallStatement& call, std::size_t& next)
{
    std::size_t at = begin + 2;
    std::int32_t lines = 0;
    while (at < end && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    std::shared_ptr<Pelvo::Engine::CallStatement> condition(new Pelvo::Engine::CallStatement);
    condition->line = line;
    if (text.compare(begin, 2, "if") != 0 || at >= end || text[at] != '(' || !ReadCall(text, ++at, end, *condition) ||
        at >= end || text[at] != ')')
        return false;
    SkipSpace(text, ++at, end, lines);
    if (at >= end || text[at] != '{')
        return false;
    SkipSpace(text, ++at, end, lines);
    const std::size_t callBegin = at;
    if (!ReadCall(text, at, end, call) || at >= end || text[at] != ';')
        return false;
    call.text.assign(text, callBegin, ++at - callBegin);
    call.line = line + lines;
    SkipSpace(text, at, end, lines);
    if (at >= end || text[at] != '}' || (++at < end && text[at] != '\n'))
        return false;
    condition->text.assign(text, begin, at - begin);
    call.condition = condition;
    next = at;
    return true;
}

}  // namespace

bool QENStoredScriptCalls::Read(const std::string& text, std::size_t begin, std::size_t end, std::int32_t line,
                                std::vector<Pelvo::Engine::CallStatement>& calls)
{
    calls.reserve(static_cast<std::size_t>(std::count(text.begin() + begin, text.begin() + end, '\n')) + 1);
    for (std::size_t at = begin; at < end; ++line) {
        std::size_t lineEnd = text.find('\n', at);
        if (lineEnd == std::string::npos || lineEnd > end)
            lineEnd = end;
        if (lineEnd > at) {
            calls.emplace_back();
            Pelvo::Engine::CallStatement& call = calls.back();
            call.line = line;
            if (text[at] == 'i') {
                if (!ReadConditionalCall(text, at, end, line, call, lineEnd))
                    return false;
                line += static_cast<std::int32_t>(std::count(text.begin() + at, text.begin() + lineEnd, '\n'));
            } else if (!ReadCallLine(text, at, lineEnd, call)) {
                return false;
            }
        }
        at = lineEnd + 1;
    }
    return true;
}
