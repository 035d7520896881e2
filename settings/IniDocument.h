#pragma once
// The text of the settings file: groups ("[FallRates]") of "name=value" lines, in the INI
// layout that earlier versions wrote through QSettings, so their files still load.
// Plain C++, so that reading and writing can be tested and fuzzed without Qt. Values are
// only ever text: nothing in the file is decoded as a typed value.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace keyfall {

class IniDocument {
public:
    // Reads any bytes. Group headers and "name=value" entries are kept; comments (";" at the
    // start of a line or after a value) and lines of neither kind are skipped. A value may run
    // over several lines inside double quotes or after a backslash. Entries before any header,
    // under "[]" or under "[General]" belong to the nameless group. Repeated groups merge; of a
    // repeated name the last value counts.
    static IniDocument Parse(std::string_view text);

    // The value as one text: quotes removed, backslash escapes resolved, outer blanks dropped.
    // Nothing when the group has no such entry. A value that is not one text, such as a list
    // ("1, 2") or a typed value ("@Variant(...)", "@ByteArray(...)"), reads as "".
    std::optional<std::string> Value(std::string_view group, std::string_view name) const;

    // Creates or replaces an entry. `group` and `name` are plain words (letters, digits);
    // `text` may be anything and reads back unchanged.
    void SetValue(std::string_view group, std::string_view name, std::string_view text);

    // The whole file: every entry read, with the very text it had (never re-escaped, so a
    // damaged value does not grow from save to save), and every entry set; groups and names
    // in sorted order, the nameless group first and without a header.
    std::string Text() const;

    struct Entry {
        std::string name;   // as written before "=", without outer blanks: what Value() looks up
        std::string rawKey; // as written before "=", written back unchanged
        std::string raw;    // as written after "=", up to the end of its line
    };
    struct Group {
        std::string name; // "" for the nameless group
        std::vector<Entry> entries;
        std::map<std::string, std::size_t, std::less<>> index; // entry by name
    };
    // Every group, the nameless one first, then in the order of their first appearance.
    const std::vector<Group>& Groups() const { return m_groups; }

    // The text that a raw value stands for; nothing for a value that is not one text.
    static std::optional<std::string> Decode(std::string_view raw);

private:
    Group& GroupNamed(std::string_view name);
    const Group* FindGroup(std::string_view name) const;
    static void Put(Group& group, std::string_view rawKey, std::string_view raw);

    std::vector<Group> m_groups{Group{}};
    std::map<std::string, std::size_t, std::less<>> m_groupIndex; // named group by name
};

} // namespace keyfall
