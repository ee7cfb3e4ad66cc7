#pragma once

#include <QString>

#include <functional>

// Talvex.ini in the current directory. The path is rebuilt for every access, so a change of
// the working directory is followed at once. Values are UTF-8 text (the system encoding).
class Settings {
public:
    static constexpr const char* FileName = "Talvex.ini";

    static QString path();
    // The stored value (at most 99 bytes, never a split UTF-8 sequence), or "" when missing.
    static QString read(const QString& section, const QString& key);
    // Result deliberately ignorable: a failed write changes nothing; only the handler below hears of it.
    static bool write(const QString& section, const QString& key, const QString& value);

    // Called after every write that could not be made, so the window can tell the operator that
    // changes are not being kept. One handler at a time; clearing takes the owner that set it, so a
    // window going away cannot silence the one still open.
    static void setWriteFailedHandler(const void* owner, std::function<void()> handler);
    static void clearWriteFailedHandler(const void* owner);
};
