// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the profile (INI) file functions. The input is a whole settings file. Reading any
// name must never crash; writing one key must make that key read back as written and leave every
// other key reading as before, changing at most the tail of one line plus what it inserts.
#include "settings/ProfileFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// Each candidate read is a pass over the text; this many keep a 64 KB input fast.
constexpr std::size_t MaxPairs = 48;
// The file functions lock, write and rename: try them on one input in this many.
constexpr unsigned FileEvery = 32;

struct Pair {
    QByteArray section;
    QByteArray key;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArray trimBlanks(const QByteArray& s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

// Names whose ends hold nothing the reader treats specially, so the scan below and the reader
// cannot disagree about where they start and stop.
bool plainName(const QByteArray& name) {
    auto special = [](char c) { return isBlank(c) || c == ']' || c == '=' || c == ';'; };
    return name.isEmpty() || (!special(name.front()) && !special(name.back()));
}

// A deliberately simple scan for the (section, key) pairs the text seems to hold. It only
// proposes names to read; what they read is always asked of ProfileFile itself.
std::vector<Pair> scanPairs(const QByteArray& text) {
    std::vector<Pair> pairs;
    QByteArray section;
    bool inSection = false;
    qsizetype pos = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const QByteArray line = trimBlanks(text.mid(pos, end - pos));
        pos = end + 1;
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            section = trimBlanks(close < 0 ? line.mid(1) : line.mid(1, close - 1));
            inSection = true;
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (!inSection || eq < 0)
            continue;
        const QByteArray key = trimBlanks(line.left(eq));
        if (plainName(section) && plainName(key))
            pairs.push_back({section, key});
    }
    if (pairs.size() > MaxPairs) {
        std::vector<Pair> spread;
        for (std::size_t i = 0; i < MaxPairs; ++i)
            spread.push_back(pairs[i * pairs.size() / MaxPairs]);
        pairs.swap(spread);
    }
    return pairs;
}

// The lines as the reader sees them: CR, LF or CRLF ends one; nothing after a final line end.
std::vector<QByteArray> lineList(const QByteArray& text) {
    std::vector<QByteArray> lines;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        lines.push_back(text.mid(pos, end - pos));
        pos = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++pos;
    }
    return lines;
}

std::string quoted(const QByteArray& bytes) {
    std::string out = "\"";
    for (const char c : bytes.left(200)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (u < 0x20 || u >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        } else
            out += c;
    }
    out += bytes.size() > 200 ? "\"..." : "\"";
    return out;
}

[[noreturn]] void fail(const char* what, const QByteArray& content, const Pair& written,
                       const QByteArray& value, const std::string& detail) {
    std::fprintf(stderr, "fuzz_profile: %s\nfile: %s\nsection %s, key %s, value written %s\n%s\n", what,
                 quoted(content).c_str(), quoted(written.section).c_str(), quoted(written.key).c_str(),
                 quoted(value).c_str(), detail.c_str());
    std::abort();
}

// The bytes of the input from `start`, at most `length` of them (wrapping), as raw material.
QByteArray slice(const QByteArray& content, unsigned start, unsigned length) {
    if (content.isEmpty())
        return {};
    QByteArray out;
    for (unsigned i = 0; i < length; ++i)
        out += content[static_cast<qsizetype>((start + i) % static_cast<unsigned>(content.size()))];
    return out;
}

QByteArray replaced(QByteArray s, const char* bad, char with) {
    for (char& c : s) {
        if (std::strchr(bad, c) && c != '\0')
            c = with;
    }
    return s;
}

// Names and values a caller may legitimately pass: nothing that would change the file's
// structure, no blanks at the ends, and a value that is not quoted.
QByteArray cleanSection(const QByteArray& raw) {
    return trimBlanks(replaced(raw, "\r\n]", '_'));
}

QByteArray cleanKey(const QByteArray& raw) {
    QByteArray key = trimBlanks(replaced(raw, "\r\n=", '_'));
    if (key.startsWith(';') || key.startsWith('['))
        key.prepend('k');
    return key;
}

QByteArray cleanValue(const QByteArray& raw) {
    QByteArray value = trimBlanks(replaced(raw, "\r\n", '_'));
    if (value.startsWith('"') || value.startsWith('\''))
        value[0] = 'q';
    return value;
}

// What a read gives back for a value written as is: blanks trimmed, one pair of matching outer
// quotes removed, at most 99 bytes.
QByteArray asRead(const QByteArray& value) {
    QByteArray v = trimBlanks(value);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v.left(99);
}

QByteArray upper(QByteArray s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

QByteArray lower(QByteArray s) {
    for (char& c : s)
        c = fold(c);
    return s;
}

// Reading at any capacity gives the first capacity - 1 bytes of the full value, and the names
// match whatever their case and the blanks around them.
void checkReadRules(const QByteArray& content, const Pair& pair) {
    const QByteArray full = ProfileFile::readFromText(content, pair.section, pair.key, 1 << 30);
    const QByteArray usual = ProfileFile::readFromText(content, pair.section, pair.key);
    const Pair spellings[] = {{upper(pair.section), lower(pair.key)},
                              {" \t" + lower(pair.section) + "  ", "\t" + upper(pair.key) + " "}};
    for (const Pair& other : spellings) {
        const QByteArray got = ProfileFile::readFromText(content, other.section, other.key);
        if (got != usual)
            fail("names spelt another way read differently", content, other, {},
                 "got " + quoted(got) + ", expected " + quoted(usual));
    }
    for (const int capacity : {-1, 0, 1, 2, 7, 100}) {
        const QByteArray got = ProfileFile::readFromText(content, pair.section, pair.key, capacity);
        const QByteArray expected = capacity <= 1 ? QByteArray() : full.left(capacity - 1);
        if (got != expected)
            fail("capacity cut differs", content, pair, {},
                 "capacity " + std::to_string(capacity) + ": got " + quoted(got) + ", expected " +
                     quoted(expected));
    }
}

// One write, checked against the reads before it. `exact` says the names and value are clean,
// so the write must happen; otherwise it may be refused, but then must change nothing.
void checkWrite(const QByteArray& content, const std::vector<Pair>& pairs, const Pair& target,
                const QByteArray& value, bool exact) {
    const QByteArray after = ProfileFile::writeToText(content, target.section, target.key, value);
    if (!exact && after == content)
        return;

    const QByteArray back = ProfileFile::readFromText(after, target.section, target.key);
    if (back != asRead(value))
        fail("the key written does not read back", content, target, value,
             "read " + quoted(back) + ", expected " + quoted(asRead(value)) + "\nafter: " + quoted(after));

    const QByteArray sectionName = trimBlanks(target.section);
    const QByteArray keyName = trimBlanks(target.key);
    for (const Pair& other : pairs) {
        if (sameName(other.section, sectionName) && sameName(other.key, keyName))
            continue;
        const QByteArray before = ProfileFile::readFromText(content, other.section, other.key);
        const QByteArray now = ProfileFile::readFromText(after, other.section, other.key);
        if (before != now)
            fail("another key reads differently after the write", content, target, value,
                 "[" + quoted(other.section) + "] " + quoted(other.key) + ": was " + quoted(before) +
                     ", now " + quoted(now) + "\nafter: " + quoted(after));
    }

    // One stretch changes: what goes away is at most the old value, never a line end.
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(content.size(), after.size());
    while (prefix < shorter && content[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           content[content.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const QByteArray removed = content.mid(prefix, content.size() - suffix - prefix);
    if (removed.contains('\r') || removed.contains('\n'))
        fail("the write removed a line end", content, target, value,
             "removed " + quoted(removed) + "\nafter: " + quoted(after));

    // Line by line, the same holds: every line but the key's own stays, and at most the key line
    // and a new section header come in. Bytes alone would miss two line ends merging into one.
    const std::vector<QByteArray> oldLines = lineList(content);
    const std::vector<QByteArray> newLines = lineList(after);
    std::size_t same = 0;
    const std::size_t fewer = std::min(oldLines.size(), newLines.size());
    while (same < fewer && oldLines[same] == newLines[same])
        ++same;
    std::size_t sameEnd = 0;
    while (sameEnd < fewer - same &&
           oldLines[oldLines.size() - 1 - sameEnd] == newLines[newLines.size() - 1 - sameEnd])
        ++sameEnd;
    const std::size_t gone = oldLines.size() - same - sameEnd;
    const std::size_t added = newLines.size() - same - sameEnd;
    const bool valueChanged = gone == 1 && added == 1 && oldLines[same].contains('=') &&
                              oldLines[same].left(oldLines[same].indexOf('=') + 1) ==
                                  newLines[same].left(oldLines[same].indexOf('=') + 1);
    if (!(gone == 0 && added <= 2) && !valueChanged)
        fail("the write changed other lines", content, target, value,
             std::to_string(gone) + " line(s) gone, " + std::to_string(added) + " added at line " +
                 std::to_string(same) + "\nafter: " + quoted(after));

    // Writing the same again changes nothing.
    if (ProfileFile::writeToText(after, target.section, target.key, value) != after)
        fail("writing the same value twice changes the file", content, target, value,
             "after: " + quoted(after));
}

QString scratchDir() {
    static const QString dir = QDir::tempPath() + QStringLiteral("/talvex_fuzz_profile_%1").arg(::getpid());
    return dir;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file functions give what the text functions give, through a real file, its lock and rename.
void checkFile(const QByteArray& content, const Pair& target, const QByteArray& value) {
    const QString path = scratchDir() + QStringLiteral("/Talvex.ini");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size()) {
            std::fprintf(stderr, "fuzz_profile: cannot write %s\n", qPrintable(path));
            std::exit(2);
        }
    }
    const QByteArray read = ProfileFile::read(path, target.section, target.key);
    if (read != ProfileFile::readFromText(content, target.section, target.key))
        fail("ProfileFile::read differs from readFromText", content, target, value, "read " + quoted(read));
    if (!ProfileFile::write(path, target.section, target.key, value))
        fail("ProfileFile::write refused a clean write", content, target, value, {});
    const QByteArray written = fileBytes(path);
    const QByteArray expected = ProfileFile::writeToText(content, target.section, target.key, value);
    if (written != expected)
        fail("ProfileFile::write left other bytes than writeToText", content, target, value,
             "file: " + quoted(written) + "\nexpected: " + quoted(expected));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::vector<Pair> pairs = scanPairs(content);

    // A file that begins with a UTF-16 byte-order mark is Windows' UTF-16 text: nothing is read
    // from it and nothing 8-bit is ever added to it.
    if (content.startsWith("\xFF\xFE") || content.startsWith("\xFE\xFF")) {
        const Pair program{QByteArrayLiteral("Source 1"), QByteArrayLiteral("Delay")};
        for (const Pair& pair : pairs) {
            const QByteArray got = ProfileFile::readFromText(content, pair.section, pair.key);
            if (!got.isEmpty())
                fail("a UTF-16 file reads a value", content, pair, {}, "read " + quoted(got));
        }
        if (ProfileFile::writeToText(content, program.section, program.key, "1") != content)
            fail("a UTF-16 file was written", content, program, "1", {});
        return 0;
    }

    // Reading never crashes, whatever the names; capacities, case and blanks agree.
    for (const Pair& pair : pairs)
        (void)ProfileFile::readFromText(content, pair.section, pair.key);
    if (!pairs.empty())
        checkReadRules(content, pairs[size % pairs.size()]);

    // The last bytes of the input pick what to write; they stay part of the file as well.
    auto byteFromEnd = [&](size_t i) -> unsigned { return size > i ? data[size - 1 - i] : 0u; };
    const unsigned choice = byteFromEnd(0);
    const unsigned at = byteFromEnd(1) | (byteFromEnd(2) << 8);
    const unsigned length = byteFromEnd(3) % 160;

    Pair target;
    switch (choice & 3) {
    case 0: // an existing key, perhaps spelt in another case
        if (!pairs.empty()) {
            target = pairs[at % pairs.size()];
            if (choice & 4)
                target = {upper(target.section), upper(target.key)};
            break;
        }
        [[fallthrough]];
    case 1: // a new key in an existing section
        if (!pairs.empty()) {
            target = {pairs[at % pairs.size()].section, cleanKey(slice(content, at, 1 + (choice >> 4)))};
            break;
        }
        [[fallthrough]];
    case 2: // the names the program itself uses
        target = {QByteArrayLiteral("Source 1"),
                  (choice & 4) ? QByteArrayLiteral("Delay") : QByteArrayLiteral("Fichier")};
        break;
    default: // names made of the input's own bytes
        target = {cleanSection(slice(content, at, 1 + (choice >> 5))),
                  cleanKey(slice(content, at / 3, 1 + (choice >> 4)))};
        break;
    }
    const QByteArray value = cleanValue(slice(content, at / 7, length));
    checkWrite(content, pairs, target, value, true);

    // Names and value exactly as the bytes come, line ends, brackets and quotes included.
    if (choice & 8) {
        const Pair raw{slice(content, at / 5, 1 + (choice >> 5)), slice(content, at / 11, 1 + (choice >> 4))};
        checkWrite(content, pairs, raw, slice(content, at / 13, length), false);
    }

    static unsigned counter = 0;
    if (++counter % FileEvery == 0)
        checkFile(content, target, value);
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Made before the handler is registered, so the path outlives it.
    QDir().mkpath(scratchDir());
    std::atexit([] { QDir(scratchDir()).removeRecursively(); });
    return 0;
}
