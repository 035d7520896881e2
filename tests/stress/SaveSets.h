#pragma once
// The two complete settings sets that the kill test saves in turn. They differ in every one
// of the twelve values, so that a file mixing them, or holding a default, is told apart.

#include "settings/Settings.h"

#include <string>

namespace keyfall::stress {

inline Settings SetA()
{
    return Settings{7, 11, 16, 31, 36, 51, 12, {true, false, true, false, true}};
}

inline Settings SetB()
{
    return Settings{3, 99, 22, 45, 60, 77, 5, {false, true, false, true, false}};
}

// The twelve values on one line, as the helper prints what it loaded.
inline std::string Line(const Settings& s)
{
    std::string line;
    for (int value : {s.EasyLow, s.EasyHigh, s.MedLow, s.MedHigh, s.HardLow, s.HardHigh, s.MaxRounds})
        line += std::to_string(value) + ' ';
    for (bool key : s.KeySet)
        line += key ? "1 " : "0 ";
    line.pop_back();
    return line;
}

} // namespace keyfall::stress
