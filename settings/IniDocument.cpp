#include "settings/IniDocument.h"

#include "settings/Text.h"

#include <algorithm>

namespace keyfall {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool IsBreak(char c)
{
    return c == '\n' || c == '\r';
}

bool IsNameless(std::string_view name)
{
    constexpr std::string_view kGeneral = "general";
    return name.empty() || std::equal(name.begin(), name.end(), kGeneral.begin(), kGeneral.end(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
           });
}

// One logical line of the file, as QSettings has always split them: it ends at a line break
// or a ";" outside double quotes; a backslash takes the next character with it, so an
// escaped break continues the line ("\r\n" and "\n\r" count as one break there).
struct Scan {
    std::size_t end = 0;        // the first character after the line
    std::size_t equals = kNone; // the first "=" outside quotes
    bool inQuotes = false;      // the text ran out inside quotes
    bool openEscape = false;    // the text ran out right after a backslash
    bool endsInEscapedBreak = false;
};

Scan ScanLine(std::string_view text, std::size_t start)
{
    Scan scan;
    std::size_t i = start;
    while (i < text.size()) {
        const char c = text[i];
        if (!scan.inQuotes && (IsBreak(c) || c == ';'))
            break;
        scan.endsInEscapedBreak = false;
        if (c == '\\') {
            if (i + 1 == text.size()) {
                scan.openEscape = true;
                ++i;
                break;
            }
            const char escaped = text[i + 1];
            i += 2;
            if (IsBreak(escaped)) {
                scan.endsInEscapedBreak = true;
                if (i < text.size() && IsBreak(text[i]) && text[i] != escaped)
                    ++i;
            }
            continue;
        }
        if (c == '"')
            scan.inQuotes = !scan.inQuotes;
        else if (c == '=' && !scan.inQuotes && scan.equals == kNone)
            scan.equals = i;
        ++i;
    }
    scan.end = i;
    return scan;
}

// A line to write, made to end exactly where it stands. Only the last line of a file can run
// out inside quotes or after a backslash; moved elsewhere it would swallow the lines after
// it, so it is closed in a way that reads back as the same text.
std::string Terminated(std::string line)
{
    Scan scan = ScanLine(line, 0);
    if (scan.openEscape) {
        line.pop_back();
        scan = ScanLine(line, 0);
    }
    if (scan.inQuotes)
        line += '"';
    else if (scan.endsInEscapedBreak)
        line += '\n'; // the escaped break may take the next break as its other half
    line += '\n';
    return line;
}

// Reads up to `most` digits of the given base at `i`, moving `i` past them.
std::optional<unsigned> ReadDigits(std::string_view text, std::size_t& i, int base, int most)
{
    unsigned value = 0;
    int count = 0;
    for (; count < most && i < text.size(); ++count, ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0 || digit >= base)
            break;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    return count > 0 ? std::optional<unsigned>(value) : std::nullopt;
}

// A value's text in a form that Decode() gives back unchanged. Our own values (numbers,
// "True", "False") stay bare, as they always were in the file.
std::string Encode(std::string_view text)
{
    const bool bare = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '+'
               || c == '.' || c == '_';
    });
    if (bare)
        return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out += '"';
}

} // namespace

IniDocument IniDocument::Parse(std::string_view text)
{
    IniDocument document;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::size_t group = 0; // an index: adding a group moves them all
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (IsBlank(text[pos])) {
            ++pos;
            continue;
        }
        if (text[pos] == ';') {
            while (pos < text.size() && !IsBreak(text[pos]))
                ++pos;
            continue;
        }
        const Scan scan = ScanLine(text, pos);
        const std::string_view line = text.substr(pos, scan.end - pos);
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            const Group& named = document.GroupNamed(TrimBlanks(line.substr(1, close == kNone ? kNone : close - 1)));
            group = static_cast<std::size_t>(&named - document.m_groups.data());
        } else if (scan.equals != kNone && !TrimBlanks(text.substr(pos, scan.equals - pos)).empty()) {
            Put(document.m_groups[group], text.substr(pos, scan.equals - pos),
                text.substr(scan.equals + 1, scan.end - scan.equals - 1));
        }
        pos = scan.end;
    }
    return document;
}

std::optional<std::string> IniDocument::Value(std::string_view group, std::string_view name) const
{
    const Group* found = FindGroup(group);
    if (!found)
        return std::nullopt;
    const auto it = found->index.find(name);
    if (it == found->index.end())
        return std::nullopt;
    return Decode(found->entries[it->second].raw).value_or(std::string());
}

void IniDocument::SetValue(std::string_view group, std::string_view name, std::string_view text)
{
    Put(GroupNamed(group), name, Encode(text));
}

std::string IniDocument::Text() const
{
    // Groups and names in sorted order, as QSettings always wrote them: a file saved again
    // with the same values comes out byte for byte the same.
    std::string out;
    const auto write = [&out](const Group& group) {
        if (group.entries.empty())
            return;
        if (!group.name.empty()) {
            if (!out.empty())
                out += '\n';
            out += Terminated('[' + group.name + ']');
        }
        for (const auto& [name, at] : group.index)
            out += group.entries[at].rawKey + '=' + Terminated(group.entries[at].raw);
    };
    write(m_groups.front());
    for (const auto& [name, at] : m_groupIndex)
        write(m_groups[at]);
    return out;
}

std::optional<std::string> IniDocument::Decode(std::string_view raw)
{
    std::size_t i = 0;
    while (i < raw.size() && IsBlank(raw[i]))
        ++i;
    // Typed values ("@Variant(...)", "@ByteArray(...)"...) are Qt's binary serialisations;
    // the settings are plain text, so such a value is simply not one of ours.
    if (i < raw.size() && raw[i] == '@')
        return std::nullopt;
    std::string out;
    std::size_t kept = 0; // blanks after this length, outside quotes, are trailing blanks
    bool inQuotes = false;
    for (; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            inQuotes = !inQuotes;
            continue;
        }
        if (c == ',' && !inQuotes)
            return std::nullopt; // a list of texts
        if (c != '\\') {
            out += c;
            if (inQuotes || !IsBlank(c))
                kept = out.size();
            continue;
        }
        if (i + 1 == raw.size())
            break;
        const char escaped = raw[++i];
        switch (escaped) {
        case '\n':
        case '\r':
            // A continued line.
            if (i + 1 < raw.size() && IsBreak(raw[i + 1]) && raw[i + 1] != escaped)
                ++i;
            continue;
        case 'a': out += '\a'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'v': out += '\v'; break;
        case 'x': {
            std::size_t next = i + 1;
            if (const auto code = ReadDigits(raw, next, 16, 4)) {
                AppendUtf8(out, *code);
                i = next - 1;
            } else {
                out += 'x';
            }
            break;
        }
        default:
            if (escaped >= '0' && escaped <= '7') {
                std::size_t next = i;
                AppendUtf8(out, *ReadDigits(raw, next, 8, 3));
                i = next - 1;
            } else {
                out += escaped;
            }
        }
        kept = out.size();
    }
    out.resize(kept);
    return out;
}

IniDocument::Group& IniDocument::GroupNamed(std::string_view name)
{
    if (IsNameless(name))
        return m_groups.front();
    const auto it = m_groupIndex.find(name);
    if (it != m_groupIndex.end())
        return m_groups[it->second];
    m_groupIndex.emplace(std::string(name), m_groups.size());
    return m_groups.emplace_back(Group{std::string(name), {}, {}});
}

const IniDocument::Group* IniDocument::FindGroup(std::string_view name) const
{
    if (IsNameless(name))
        return &m_groups.front();
    const auto it = m_groupIndex.find(name);
    return it == m_groupIndex.end() ? nullptr : &m_groups[it->second];
}

void IniDocument::Put(Group& group, std::string_view rawKey, std::string_view raw)
{
    const std::string_view name = TrimBlanks(rawKey);
    const auto it = group.index.find(name);
    if (it != group.index.end()) {
        group.entries[it->second].raw = std::string(raw);
        return;
    }
    group.index.emplace(std::string(name), group.entries.size());
    group.entries.push_back(Entry{std::string(name), std::string(rawKey), std::string(raw)});
}

} // namespace keyfall
