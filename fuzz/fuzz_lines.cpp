// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the two ways a source file is cut into lines: the sequential SourceReader and
// the random-order LineIndex must both give exactly the lines of a plain reference split.
#include "engine/LineIndex.h"
#include "engine/SourceReader.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// Where the reader and the index change blocks: a CRLF cut by one of these is the hard case,
// so some inputs are moved to straddle them.
constexpr qsizetype ReaderBlock = 64 * 1024;
constexpr qsizetype IndexBlock = 1024 * 1024;
// Beyond this many lines the index is checked on a spread sample (each read opens the file).
constexpr qint64 IndexSample = 200;

QString sourcePath() {
    // One file per process, so parallel fuzzing jobs never read each other's input.
    static const QString path =
        QDir::tempPath() + QStringLiteral("/talvex_fuzz_lines_%1.log").arg(::getpid());
    return path;
}

[[noreturn]] void fail(const char* what, const QByteArray& content, const std::string& detail = {}) {
    std::fprintf(stderr, "fuzz_lines: %s (file of %lld bytes)\n%s\n", what,
                 static_cast<long long>(content.size()), detail.c_str());
    std::abort();
}

std::string quoted(const QByteArray& bytes) {
    std::string out = "\"";
    for (const char c : bytes.left(120)) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
            out += hex;
        } else
            out += c;
    }
    out += bytes.size() > 120 ? "\"..." : "\"";
    return out;
}

// The obvious split, byte by byte: CR or CRLF ends a line, LF alone is text unless any line end
// counts, a last line without a line end is a line, nothing follows a final line end.
std::vector<QByteArray> referenceLines(const QByteArray& content, LineEnds ends) {
    std::vector<QByteArray> lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < content.size()) {
        const bool lineFeedEnds = ends == LineEnds::Any && content[i] == '\n';
        if (content[i] != '\r' && !lineFeedEnds) {
            ++i;
            continue;
        }
        lines.push_back(content.mid(start, i - start));
        ++i;
        if (!lineFeedEnds && i < content.size() && content[i] == '\n')
            ++i;
        start = i;
    }
    if (start < content.size())
        lines.push_back(content.mid(start));
    return lines;
}

void checkReader(const QByteArray& content, const std::vector<QByteArray>& expected, const QString& path,
                 LineEnds ends, bool asStream) {
    SourceReader reader;
    reader.setLineEnds(ends);
    QFile file(path);
    if (asStream) {
        if (!file.open(QIODevice::ReadOnly) || reader.openStream(file.handle(), path).isError())
            fail("SourceReader::openStream failed", content);
    } else if (reader.open(path).isError()) {
        fail("SourceReader::open failed", content);
    }
    std::size_t n = 0;
    for (;;) {
        bool atEnd = true;
        if (reader.checkEnd(&atEnd).isError())
            fail("SourceReader::checkEnd reported an error", content);
        if (atEnd)
            break;
        QByteArray line;
        if (reader.readLine(&line).isError())
            fail("SourceReader::readLine reported an error", content);
        if (n >= expected.size())
            fail("SourceReader gives more lines than there are", content,
                 "extra line " + std::to_string(n) + ": " + quoted(line));
        if (line != expected[n])
            fail("SourceReader gives a wrong line", content,
                 "line " + std::to_string(n) + ": got " + quoted(line) + ", expected " + quoted(expected[n]));
        ++n;
    }
    if (n != expected.size())
        fail("SourceReader stops early", content,
             "got " + std::to_string(n) + " lines, expected " + std::to_string(expected.size()));
    QByteArray after;
    bool atEnd = false;
    if (reader.readLine(&after).isError() || !after.isEmpty() || reader.checkEnd(&atEnd).isError() || !atEnd)
        fail("SourceReader past the end is not an empty line at the end", content);
}

void checkFile(const QByteArray& content, bool withIndex, LineEnds ends) {
    const QString path = sourcePath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size()) {
            std::fprintf(stderr, "fuzz_lines: cannot write %s\n", qPrintable(path));
            std::exit(2);
        }
    }
    const std::vector<QByteArray> expected = referenceLines(content, ends);
    const qint64 expectedCount = static_cast<qint64>(expected.size());

    // The file read as a file, and read as a stream would be (whole lines held until they end).
    for (const bool asStream : {false, true})
        checkReader(content, expected, path, ends, asStream);
    if (!withIndex)
        return;
    LineIndex index;
    if (index.build(path, ends).isError())
        fail("LineIndex::build failed", content);
    if (index.count() != expectedCount)
        fail("LineIndex count differs", content,
             "got " + std::to_string(index.count()) + ", expected " + std::to_string(expectedCount));
    auto checkIndexLine = [&](qint64 k) {
        QByteArray line;
        if (index.readLine(k, &line).isError())
            fail("LineIndex::readLine reported an error", content, "line " + std::to_string(k));
        if (line != expected[static_cast<std::size_t>(k)])
            fail("LineIndex gives a wrong line", content,
                 "line " + std::to_string(k) + ": got " + quoted(line) + ", expected " +
                     quoted(expected[static_cast<std::size_t>(k)]));
    };
    if (expectedCount <= IndexSample) {
        for (qint64 k = 0; k < expectedCount; ++k)
            checkIndexLine(k);
    } else {
        // Both ends and an even spread in between, shifted by the size so other lines get a turn.
        const qint64 shift = content.size() % (expectedCount / IndexSample);
        checkIndexLine(0);
        checkIndexLine(expectedCount - 1);
        for (qint64 s = 0; s < IndexSample; ++s)
            checkIndexLine(s * (expectedCount / IndexSample) + shift);
    }
    QByteArray past;
    if (!index.readLine(expectedCount, &past).isError() || !past.isEmpty())
        fail("LineIndex reads a line past the last one", content);
    if (!index.readLine(-1, &past).isError() || !past.isEmpty())
        fail("LineIndex reads a line before the first one", content);
}

// A deterministic choice from the input, so a reproducer replays the same way.
std::uint32_t digest(const uint8_t* data, size_t size) {
    std::uint32_t h = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 16777619u;
    return h;
}

QByteArray straddling(const QByteArray& content, qsizetype block, std::uint32_t h) {
    // Filler without any line end, so the input's first bytes sit just before the block edge.
    const qsizetype into =
        content.isEmpty() ? 0 : static_cast<qsizetype>(h % std::min<qsizetype>(content.size(), 16));
    QByteArray padded(block - 1 - into, 'x');
    padded += content;
    return padded;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // Each index build takes a fresh 1 MB block, which under the address sanitizer costs far
    // more than the rest of the checks together: the index is checked on a quarter of the
    // inputs (always the same ones), the reader on all of them.
    const std::uint32_t h = digest(data, size);
    for (const LineEnds ends : {LineEnds::CarriageReturn, LineEnds::Any}) {
        checkFile(content, (h & 3) == 0, ends);
        if (size > 0 && ((h >> 2) & 3) == 0)
            checkFile(straddling(content, ReaderBlock, h >> 16), ((h >> 4) & 3) == 0, ends);
        if (size > 0 && ((h >> 6) & 0xff) == 0x80)
            checkFile(straddling(content, IndexBlock, h >> 16), true, ends);
    }
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The path is made first, so it is destroyed only after the handler that removes the file.
    (void)sourcePath();
    std::atexit([] { QFile::remove(sourcePath()); });
    return 0;
}
