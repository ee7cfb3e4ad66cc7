#pragma once

#include <QString>

// Talvex.ini in the current directory. The path is rebuilt for every access, so a change of
// the working directory is followed at once. Values are UTF-8 text (the system encoding).
class Settings {
public:
    static constexpr const char* FileName = "Talvex.ini";

    static QString path();
    // The stored value (at most 99 bytes, never a split UTF-8 sequence), or "" when missing.
    static QString read(const QString& section, const QString& key);
    // Result deliberately ignorable: a failed write changes nothing and is not reported.
    static bool write(const QString& section, const QString& key, const QString& value);
};
