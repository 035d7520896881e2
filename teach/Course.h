#pragma once
// The course: stages that lead from the home row outwards, built from the player's own
// keyboard, not from a table per layout. On the Italian board: a s d f j k l ò, then g h,
// à ù, the top row in pairs from the index fingers outwards (r u, e i, w o, q p, t y), the
// letters left on the top row with those only Shift types (è é ç), the bottom row in two halves, the capitals, the
// digits and whatever else the block types. Stages that the keyboard leaves empty are left out.

#include "teach/Keymap.h"

#include <string>
#include <vector>

namespace keyfall::teach {

struct Stage {
    std::u32string keys; // the stage's own keys, the ones it adds to the earlier stages
    std::string name;    // as the player reads it: "a s d f j k l ò", "maiuscole", "cifre"
};

class Course {
public:
    explicit Course(const Keymap& keymap);

    // The keyboard the course is for, as the records file progress under it: the layout's
    // name ("Italian"), with " (ANSI)" on an ANSI board.
    const std::string& Name() const { return m_name; }
    const std::vector<Stage>& Stages() const { return m_stages; }
    int Count() const { return static_cast<int>(m_stages.size()); }
    // What a game on stage `index` (0 .. Count() - 1) launches: the keys of that stage and of
    // every stage before it, in course order.
    std::u32string CharactersUpTo(int index) const;
    // Every character of the course.
    std::u32string Characters() const { return CharactersUpTo(Count() - 1); }

private:
    std::string m_name;
    std::vector<Stage> m_stages;
};

} // namespace keyfall::teach
