// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ProfileFile.h"

#include "settings/FileLock.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstring>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// One line of the text: [begin, end) is its content, next is where the following line starts
// (after its CRLF, CR or LF; equal to end for a last line without a line end).
struct Line {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype next = 0;
};

Line lineAt(const QByteArray& text, qsizetype pos) {
    const char* d = text.constData();
    const qsizetype n = text.size();
    qsizetype i = pos;
    while (i < n && d[i] != '\r' && d[i] != '\n')
        ++i;
    Line line{pos, i, i};
    if (i < n)
        line.next = (d[i] == '\r' && i + 1 < n && d[i + 1] == '\n') ? i + 2 : i + 1;
    return line;
}

enum class Kind { Other, Comment, Section, Key };

struct Parsed {
    Kind kind = Kind::Other;
    qsizetype nameBegin = 0; // section or key name, blanks trimmed
    qsizetype nameEnd = 0;
    qsizetype valueBegin = 0; // key lines: right after the first '=' (untrimmed, to the line's end)
};

void trimRange(const char* d, qsizetype& begin, qsizetype& end) {
    while (begin < end && isBlank(d[begin]))
        ++begin;
    while (end > begin && isBlank(d[end - 1]))
        --end;
}

Parsed classify(const QByteArray& text, const Line& line) {
    const char* d = text.constData();
    Parsed p;
    qsizetype i = line.begin;
    // Editors that save UTF-8 may put a byte-order mark first; it must not hide the first header.
    if (i == 0 && text.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < line.end && isBlank(d[i]))
        ++i;
    if (i == line.end)
        return p; // blank line
    if (d[i] == ';') {
        p.kind = Kind::Comment;
        return p;
    }
    if (d[i] == '[') {
        // The name ends at the first ']'. Without one it runs to the end of the line: a header
        // missing its bracket still starts a new section instead of silently joining its keys
        // to the section above.
        p.kind = Kind::Section;
        p.nameBegin = i + 1;
        const void* close = std::memchr(d + p.nameBegin, ']', static_cast<size_t>(line.end - p.nameBegin));
        p.nameEnd = close ? static_cast<const char*>(close) - d : line.end;
        trimRange(d, p.nameBegin, p.nameEnd);
        return p;
    }
    const void* eq = std::memchr(d + i, '=', static_cast<size_t>(line.end - i));
    if (!eq)
        return p; // not a key
    p.kind = Kind::Key;
    p.nameBegin = i;
    p.nameEnd = static_cast<const char*>(eq) - d;
    p.valueBegin = p.nameEnd + 1;
    trimRange(d, p.nameBegin, p.nameEnd);
    return p;
}

bool sameName(const QByteArray& text, qsizetype begin, qsizetype end, const QByteArray& name) {
    if (end - begin != name.size())
        return false;
    const char* d = text.constData() + begin;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (foldAscii(d[i]) != foldAscii(name[i]))
            return false;
    }
    return true;
}

QByteArray trimmed(const QByteArray& name) {
    qsizetype begin = 0;
    qsizetype end = name.size();
    trimRange(name.constData(), begin, end);
    return name.mid(begin, end - begin);
}

// Where a key of a section stands: only the first section of the name counts, and in it the
// first key of the name.
struct Location {
    bool sectionFound = false;
    Line header;
    bool keyFound = false;
    Line keyLine;
    qsizetype valueBegin = 0;
    bool anyKey = false;
    Line lastKeyLine;
};

Location locate(const QByteArray& text, const QByteArray& section, const QByteArray& key) {
    Location at;
    bool inSection = false;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const Line line = lineAt(text, pos);
        pos = line.next;
        const Parsed p = classify(text, line);
        if (p.kind == Kind::Section) {
            if (inSection)
                break; // the first section of the name has ended
            if (sameName(text, p.nameBegin, p.nameEnd, section)) {
                inSection = true;
                at.sectionFound = true;
                at.header = line;
            }
        } else if (inSection && p.kind == Kind::Key) {
            if (sameName(text, p.nameBegin, p.nameEnd, key)) {
                at.keyFound = true;
                at.keyLine = line;
                at.valueBegin = p.valueBegin;
                break;
            }
            at.anyKey = true;
            at.lastKeyLine = line;
        }
    }
    return at;
}

// Names or values that would change the structure of the file once written: a line end would
// start a new line, ']' would cut a section name, '=' would cut a key, a key starting with ';'
// or '[' would become a comment or a section header. Such a write is refused outright rather
// than corrupting the file or landing under another name.
bool acceptable(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    auto hasLineEnd = [](const QByteArray& s) { return s.contains('\r') || s.contains('\n'); };
    if (hasLineEnd(section) || hasLineEnd(key) || hasLineEnd(value))
        return false;
    if (section.contains(']') || key.contains('='))
        return false;
    return !(key.startsWith(';') || key.startsWith('['));
}

// The line end used for lines added to an existing file: the file's own (that of its first line),
// CRLF for a new file or one without any. CRLF alone would also parse everywhere, but an LF-only
// file edited on Linux, or a CR-only one, would end up with mixed line ends; keeping the file's
// convention leaves it as its author made it. A CR-only file stays readable because an added CR
// is never placed right before an LF (see the insert below).
QByteArray lineEndOf(const QByteArray& text) {
    const Line first = lineAt(text, 0);
    if (first.next == first.end)
        return QByteArrayLiteral("\r\n");
    return text.mid(first.end, first.next - first.end);
}

// A file that starts with a UTF-16 byte-order mark is one that Windows reads as UTF-16. Its 8-bit
// view is meaningless, and 8-bit text appended to it would be garbage to every other reader, so
// such a file reads as empty and is never written. Decoding it and writing it back as UTF-16 would
// keep it usable but gives the file a second format to get right for the sake of a rare case.
bool isUtf16(const QByteArray& content) {
    return content.startsWith("\xFF\xFE") || content.startsWith("\xFE\xFF");
}

// The current text of the file: empty when there is none; false when it exists but cannot be read
// (which must not be taken for an empty file and replaced).
bool readCurrent(const QString& path, QByteArray* current) {
    current->clear();
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *current = file.readAll();
    return file.error() == QFileDevice::NoError;
}

} // namespace

QByteArray ProfileFile::readFromText(const QByteArray& content, const QByteArray& section,
                                     const QByteArray& key, int capacity) {
    if (capacity <= 1 || isUtf16(content))
        return {};
    const Location at = locate(content, trimmed(section), trimmed(key));
    if (!at.keyFound)
        return {};
    qsizetype begin = at.valueBegin;
    qsizetype end = at.keyLine.end;
    trimRange(content.constData(), begin, end);
    if (end - begin >= 2) {
        const char first = content[begin];
        if ((first == '"' || first == '\'') && content[end - 1] == first) {
            ++begin;
            --end;
        }
    }
    return content.mid(begin, qMin<qsizetype>(end - begin, capacity - 1));
}

QByteArray ProfileFile::writeToText(const QByteArray& content, const QByteArray& section,
                                    const QByteArray& key, const QByteArray& value) {
    const QByteArray sectionName = trimmed(section);
    const QByteArray keyName = trimmed(key);
    if (!acceptable(sectionName, keyName, value) || isUtf16(content))
        return content;

    const Location at = locate(content, sectionName, keyName);
    if (at.keyFound) {
        // Only the value changes: the key's spelling, its blanks and the line end stay.
        QByteArray result = content.left(at.valueBegin);
        result += value;
        result.append(content.constData() + at.keyLine.end, content.size() - at.keyLine.end);
        return result;
    }

    const QByteArray eol = lineEndOf(content);
    if (at.sectionFound) {
        const Line after = at.anyKey ? at.lastKeyLine : at.header;
        QByteArray insert;
        if (after.next == after.end)
            insert += eol; // the file's last line had no line end
        insert += keyName + '=' + value;
        // A CR followed by the LF of the next line would merge into one CRLF and swallow the
        // empty line that LF ends.
        if (eol == "\r" && after.next < content.size() && content[after.next] == '\n')
            insert += "\r\n";
        else
            insert += eol;
        QByteArray result = content;
        result.insert(after.next, insert);
        return result;
    }

    QByteArray result = content;
    if (!result.isEmpty() && !result.endsWith('\r') && !result.endsWith('\n'))
        result += eol;
    result += '[' + sectionName + ']' + eol + keyName + '=' + value + eol;
    return result;
}

QByteArray ProfileFile::read(const QString& path, const QByteArray& section, const QByteArray& key,
                             int capacity) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {}; // unreadable reads as empty
    return readFromText(file.readAll(), section, key, capacity);
}

bool ProfileFile::write(const QString& path, const QByteArray& section, const QByteArray& key,
                        const QByteArray& value) {
    if (path.isEmpty() || !acceptable(trimmed(section), trimmed(key), value))
        return false;
    const QFileInfo info(path);
    if (!QFileInfo(info.absolutePath()).isDir())
        return false; // never create the folder

    // A write that would leave the text as it is has nothing to lose, even when the file could not
    // be written: a read-only file that already holds the value is not a failure. Deciding on this
    // unlocked read is sound: it is the outcome of this write made just before any write that is
    // under way.
    QByteArray current;
    if (!readCurrent(path, &current) || isUtf16(current))
        return false;
    if (writeToText(current, section, key, value) == current)
        return true;
    if (info.exists() && !info.isWritable())
        return false; // a read-only settings file is left alone (and no lock file appears)

    // Held across re-read, rewrite and rename, so a concurrent writer's key is never lost.
    const FileLock lock(info.absoluteFilePath() + QStringLiteral(".lock"));
    if (!lock.isLocked())
        return false;
    if (!readCurrent(path, &current) || isUtf16(current))
        return false;

    const QByteArray text = writeToText(current, section, key, value);
    if (text == current)
        return true;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(text) != text.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}
