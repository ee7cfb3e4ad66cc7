#pragma once

#include <QString>

// The 64 interface texts, ids 101..164: French on the odd id, English on the next even id.
namespace StringTable {
constexpr int IdBase = 100;
constexpr int FirstId = 101;
constexpr int LastId = 164;

// The text with this id; an empty string for an id outside 101..164.
QString text(int id);
// The text of string number n (odd, 1..63) in the language selected by languageOffset
// (0 French, 1 English): id IdBase + n + languageOffset.
QString lookup(int n, int languageOffset);
} // namespace StringTable
