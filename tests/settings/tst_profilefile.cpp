// SPDX-License-Identifier: GPL-3.0-or-later
#include "Permissions.h"
#include "settings/ProfileFile.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A literal with NUL bytes in it, whole.
template <std::size_t N> QByteArray bytes(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

bool putFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool permissionsIgnored() {
    return !permissionsEnforced();
}

} // namespace

class TestProfileFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readRules_data();
    void readRules();
    void writeRules_data();
    void writeRules();
    void refusedWrites_data();
    void refusedWrites();
    void writeThenReadFuzz();
    void malformedContent();

    void missingFile();
    void newFileHasNoLeftovers();
    void rewriteSameValueKeepsBytes();
    void unreadableFile();
    void readOnlyFile();
    void utf16File_data();
    void utf16File();
    void readOnlyFolder();
    void missingFolder();
    void pathIsAFolder();
    void tenMegabyteFile();

private:
    QTemporaryDir* m_dir = nullptr;
    QString m_oldCurrent;
};

void TestProfileFile::init() {
    m_oldCurrent = QDir::currentPath();
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestProfileFile::cleanup() {
    QDir::setCurrent(m_oldCurrent);
    // Give back permissions a test took away, so the directory can be removed.
    QDirIterator it(m_dir->path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    ::chmod(QFile::encodeName(m_dir->path()).constData(), 0700);
    while (it.hasNext())
        ::chmod(QFile::encodeName(it.next()).constData(), 0700);
    delete m_dir;
    m_dir = nullptr;
}

void TestProfileFile::readRules_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("CRLF") << QByteArray("[S]\r\nk=v\r\nz=w\r\n") << QByteArray("S") << QByteArray("z")
                          << QByteArray("w");
    QTest::newRow("LF") << QByteArray("[S]\nk=v\nz=w\n") << QByteArray("S") << QByteArray("z")
                        << QByteArray("w");
    QTest::newRow("CR") << QByteArray("[S]\rk=v\rz=w\r") << QByteArray("S") << QByteArray("z")
                        << QByteArray("w");
    QTest::newRow("CR only, value not running on")
        << QByteArray("[S]\rk=v\rz=w") << QByteArray("S") << QByteArray("k") << QByteArray("v");
    QTest::newRow("mixed line ends") << QByteArray("[A]\ra=1\n[S]\r\nk=v\rz=w") << QByteArray("S")
                                     << QByteArray("z") << QByteArray("w");
    QTest::newRow("CR CR LF") << QByteArray("[S]\r\r\nk=v") << QByteArray("S") << QByteArray("k")
                              << QByteArray("v");
    QTest::newRow("LF CR") << QByteArray("[S]\n\rk=v") << QByteArray("S") << QByteArray("k")
                           << QByteArray("v");
    QTest::newRow("no final line end")
        << QByteArray("[S]\r\nk=v") << QByteArray("S") << QByteArray("k") << QByteArray("v");
    QTest::newRow("names ignore case") << QByteArray("[source 1]\r\nDELAY=5\r\n") << QByteArray("Source 1")
                                       << QByteArray("Delay") << QByteArray("5");
    QTest::newRow("value keeps case")
        << QByteArray("[S]\r\nk=MiXeD\r\n") << QByteArray("s") << QByteArray("K") << QByteArray("MiXeD");
    QTest::newRow("non-ASCII names match exactly")
        << QByteArray("[\xc3\x89t\xc3\xa9]\r\nk=1\r\n") << QByteArray("\xc3\x89t\xc3\xa9") << QByteArray("k")
        << QByteArray("1");
    QTest::newRow("blanks inside brackets") << QByteArray("[ Source 1 ]\r\nk=v\r\n") << QByteArray("Source 1")
                                            << QByteArray("k") << QByteArray("v");
    QTest::newRow("tabs inside brackets")
        << QByteArray("[\tS\t]\r\nk=v\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("v");
    QTest::newRow("blanks before bracket")
        << QByteArray(" \t [S]\r\nk=v\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("v");
    QTest::newRow("blanks around key") << QByteArray("[S]\r\n  Delay \t= 5\r\n") << QByteArray("S")
                                       << QByteArray("Delay") << QByteArray("5");
    QTest::newRow("requested names trimmed")
        << QByteArray("[S]\r\nk=v\r\n") << QByteArray(" S ") << QByteArray("\tk ") << QByteArray("v");
    QTest::newRow("blank inside a name counts")
        << QByteArray("[Source 1]\r\nk=v\r\n") << QByteArray("Source  1") << QByteArray("k")
        << QByteArray("");
    QTest::newRow("section ends at first ]")
        << QByteArray("[S]x]\r\nk=v\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("v");
    QTest::newRow("not up to the last ]")
        << QByteArray("[S]x]\r\nk=v\r\n") << QByteArray("S]x") << QByteArray("k") << QByteArray("");
    QTest::newRow("rest of header ignored")
        << QByteArray("[S] k=1 ;x\r\nk=v\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("v");
    QTest::newRow("missing ] still a header")
        << QByteArray("[S\r\nk=v\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("v");
    QTest::newRow("missing ] ends the section above")
        << QByteArray("[S]\r\na=1\r\n[T\r\nk=v\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("");
    QTest::newRow("empty brackets") << QByteArray("[]\r\nk=v\r\n") << QByteArray("") << QByteArray("k")
                                    << QByteArray("v");
    QTest::newRow("first section wins") << QByteArray("[S]\r\na=1\r\n[T]\r\n[s]\r\na=3\r\nb=2\r\n")
                                        << QByteArray("S") << QByteArray("a") << QByteArray("1");
    QTest::newRow("later duplicate section not searched")
        << QByteArray("[S]\r\na=1\r\n[T]\r\n[s]\r\na=3\r\nb=2\r\n") << QByteArray("S") << QByteArray("b")
        << QByteArray("");
    QTest::newRow("first key wins") << QByteArray("[S]\r\nk=1\r\nK=2\r\n") << QByteArray("S")
                                    << QByteArray("k") << QByteArray("1");
    QTest::newRow("key of another section")
        << QByteArray("[A]\r\nk=1\r\n[S]\r\nx=2\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("");
    QTest::newRow("lines before first section")
        << QByteArray("k=v\r\n[S]\r\nx=1\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("");
    QTest::newRow("lines before first section, no section")
        << QByteArray("k=v\r\n") << QByteArray("") << QByteArray("k") << QByteArray("");
    QTest::newRow("value after first =")
        << QByteArray("[S]\r\nk=a=b\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("a=b");
    QTest::newRow("empty value") << QByteArray("[S]\r\nk=\r\n") << QByteArray("S") << QByteArray("k")
                                 << QByteArray("");
    QTest::newRow("value trimmed") << QByteArray("[S]\r\nk= \t v x \t \r\n") << QByteArray("S")
                                   << QByteArray("k") << QByteArray("v x");
    QTest::newRow("double quotes") << QByteArray("[S]\r\nk=\"  x  \"\r\n") << QByteArray("S")
                                   << QByteArray("k") << QByteArray("  x  ");
    QTest::newRow("single quotes") << QByteArray("[S]\r\nk='y'\r\n") << QByteArray("S") << QByteArray("k")
                                   << QByteArray("y");
    QTest::newRow("quotes after trimming")
        << QByteArray("[S]\r\nk=  \"q\"  \r\n") << QByteArray("S") << QByteArray("k") << QByteArray("q");
    QTest::newRow("one pair only") << QByteArray("[S]\r\nk=\"\"x\"\"\r\n") << QByteArray("S")
                                   << QByteArray("k") << QByteArray("\"x\"");
    QTest::newRow("empty quotes") << QByteArray("[S]\r\nk=\"\"\r\n") << QByteArray("S") << QByteArray("k")
                                  << QByteArray("");
    QTest::newRow("lone quote") << QByteArray("[S]\r\nk=\"\r\n") << QByteArray("S") << QByteArray("k")
                                << QByteArray("\"");
    QTest::newRow("unmatched quotes")
        << QByteArray("[S]\r\nk=\"a'\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("\"a'");
    QTest::newRow("quote not at the end")
        << QByteArray("[S]\r\nk=\"a\" b\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("\"a\" b");
    QTest::newRow("comment line") << QByteArray("[S]\r\n;k=1\r\nk=2\r\n") << QByteArray("S")
                                  << QByteArray("k") << QByteArray("2");
    QTest::newRow("indented comment")
        << QByteArray("[S]\r\n \t;k=1\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("");
    QTest::newRow("; inside a value")
        << QByteArray("[S]\r\nk=v ;c\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("v ;c");
    QTest::newRow("commented header")
        << QByteArray("[S]\r\n;[T]\r\nk=v\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("v");
    QTest::newRow("# is text in a key")
        << QByteArray("[S]\r\n#k=v\r\n") << QByteArray("S") << QByteArray("#k") << QByteArray("v");
    QTest::newRow("# does not comment")
        << QByteArray("[S]\r\n#k=v\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("");
    QTest::newRow("# inside a value")
        << QByteArray("[S]\r\nk=v #c\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("v #c");
    QTest::newRow("line without =") << QByteArray("[S]\r\nk\r\nk=v\r\n") << QByteArray("S") << QByteArray("k")
                                    << QByteArray("v");
    QTest::newRow("line without = alone")
        << QByteArray("[S]\r\nk\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("");
    QTest::newRow("120 bytes cut to 99") << QByteArray("[S]\r\nk=" + QByteArray(120, 'x') + "\r\n")
                                         << QByteArray("S") << QByteArray("k") << QByteArray(99, 'x');
    QTest::newRow("99 bytes kept") << QByteArray("[S]\r\nk=" + QByteArray(99, 'y') + "\r\n")
                                   << QByteArray("S") << QByteArray("k") << QByteArray(99, 'y');
    QTest::newRow("cut after unquoting") << QByteArray("[S]\r\nk=\"" + QByteArray(100, 'q') + "\"\r\n")
                                         << QByteArray("S") << QByteArray("k") << QByteArray(99, 'q');
    QTest::newRow("missing section") << QByteArray("[S]\r\nk=v\r\n") << QByteArray("T") << QByteArray("k")
                                     << QByteArray("");
    QTest::newRow("missing key") << QByteArray("[S]\r\nk=v\r\n") << QByteArray("S") << QByteArray("x")
                                 << QByteArray("");
    QTest::newRow("empty file") << QByteArray() << QByteArray("S") << QByteArray("k") << QByteArray("");
    QTest::newRow("blank lines") << QByteArray("\r\n\r\n[S]\r\n\r\n  \r\nk=v\r\n\r\n") << QByteArray("S")
                                 << QByteArray("k") << QByteArray("v");
    QTest::newRow("NUL in value") << bytes("[S]\r\nk=a\0b\r\n") << QByteArray("S") << QByteArray("k")
                                  << bytes("a\0b");
    QTest::newRow("NUL line before") << bytes("\0\0\0\r\n[S]\r\nk=v") << QByteArray("S") << QByteArray("k")
                                     << QByteArray("v");
    QTest::newRow("UTF-8 byte-order mark")
        << QByteArray("\xef\xbb\xbf[S]\r\nk=v\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("v");
    // Not first: FF FE first would be a UTF-16 file (utf16File).
    QTest::newRow("binary bytes") << QByteArray("\x80\xff\xfe[S]\r\n[S]\r\nk=\x90\xff\r\n") << QByteArray("S")
                                  << QByteArray("k") << QByteArray("\x90\xff");
}

void TestProfileFile::readRules() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);
    QCOMPARE(ProfileFile::readFromText(content, section, key), expected);

    // The same through a real file.
    QVERIFY(putFile(QStringLiteral("Talvex.ini"), content));
    QCOMPARE(ProfileFile::read(QStringLiteral("Talvex.ini"), section, key), expected);
}

void TestProfileFile::writeRules_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("expected");

    auto row = [](const char* name, const QByteArray& content, const QByteArray& section,
                  const QByteArray& key, const QByteArray& value, const QByteArray& expected) {
        QTest::newRow(name) << content << section << key << value << expected;
    };

    row("new file", "", "Source 1", "Memory", "1", "[Source 1]\r\nMemory=1\r\n");
    row("new section at the end", "[A]\r\na=1\r\n", "S", "k", "v", "[A]\r\na=1\r\n[S]\r\nk=v\r\n");
    row("new section, last line without end", "[A]\r\na=1", "S", "k", "v", "[A]\r\na=1\r\n[S]\r\nk=v\r\n");
    row("new section after trailing blank lines", "[A]\r\na=1\r\n\r\n", "S", "k", "v",
        "[A]\r\na=1\r\n\r\n[S]\r\nk=v\r\n");
    row("new section after a comment", "; top\r\n", "S", "k", "v", "; top\r\n[S]\r\nk=v\r\n");
    row("new section, file ends in a comment without end", "[A]\r\n;c", "S", "k", "v",
        "[A]\r\n;c\r\n[S]\r\nk=v\r\n");
    row("new key after last key, before trailing comment and blanks",
        "[S]\r\na=1\r\n;c\r\nb=2\r\n\r\n; trailing\r\n\r\n[T]\r\nx=1\r\n", "S", "k", "v",
        "[S]\r\na=1\r\n;c\r\nb=2\r\nk=v\r\n\r\n; trailing\r\n\r\n[T]\r\nx=1\r\n");
    row("new key after last key, before unknown lines", "[S]\r\na=1\r\njunk\r\n[T]\r\n", "S", "k", "v",
        "[S]\r\na=1\r\nk=v\r\njunk\r\n[T]\r\n");
    row("new key in a section without keys", "[S]\r\n; note\r\n[T]\r\n", "S", "k", "v",
        "[S]\r\nk=v\r\n; note\r\n[T]\r\n");
    row("new key, commented key does not count", "[S]\r\n;k=1\r\n", "S", "k", "v", "[S]\r\nk=v\r\n;k=1\r\n");
    row("new key, line without = does not count", "[S]\r\nk\r\n", "S", "k", "v", "[S]\r\nk=v\r\nk\r\n");
    row("new key in last section without final line end", "[S]\r\na=1", "S", "k", "v",
        "[S]\r\na=1\r\nk=v\r\n");
    row("new key after a header without line end", "[S]", "S", "k", "v", "[S]\r\nk=v\r\n");
    row("new key in the first of duplicate sections", "[S]\r\na=1\r\n[s]\r\nk=2\r\n", "S", "k", "9",
        "[S]\r\na=1\r\nk=9\r\n[s]\r\nk=2\r\n");
    row("new key under a header missing its ]", "[S\r\na=1\r\n", "S", "k", "v", "[S\r\na=1\r\nk=v\r\n");
    row("key before any section untouched", "k=1\r\n[S]\r\n", "S", "k", "9", "k=1\r\n[S]\r\nk=9\r\n");
    row("replace in place keeping spelling", "[Source 1]\r\nDelay=5\r\nLoop=0\r\n", "source 1", "DELAY", "7",
        "[Source 1]\r\nDelay=7\r\nLoop=0\r\n");
    row("replace keeps what stands before =", "[ S ]\r\n  Delay  = 5 \r\n", "S", "delay", "7",
        "[ S ]\r\n  Delay  =7\r\n");
    row("replace keeps a line without end", "[S]\r\nk=1", "S", "k", "22", "[S]\r\nk=22");
    row("replace with empty", "[S]\r\nk=5\r\n", "S", "k", "", "[S]\r\nk=\r\n");
    row("replace a quoted value", "[S]\r\nk=\"a b\"\r\n", "S", "k", "c", "[S]\r\nk=c\r\n");
    row("replace the first of duplicate keys", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", "9",
        "[S]\r\nk=9\r\nK=2\r\n");
    row("replace keeps other sections byte for byte",
        "; head\r\n\r\n[A]\r\n  x = 1 \r\n#odd\r\n[S]\r\nk=1\r\n\r\n[B]\r\ny=2", "S", "k", "2",
        "; head\r\n\r\n[A]\r\n  x = 1 \r\n#odd\r\n[S]\r\nk=2\r\n\r\n[B]\r\ny=2");
    row("names written trimmed", "", " S\t", "\tk ", "v", "[S]\r\nk=v\r\n");
    row("value written exactly", "", "S", "k", "  \"q\" ", "[S]\r\nk=  \"q\" \r\n");
    row("LF-only file, new key", "[S]\na=1\n[T]\nb=2\n", "S", "k", "v", "[S]\na=1\nk=v\n[T]\nb=2\n");
    row("LF-only file, new section", "[S]\na=1\n", "T", "k", "v", "[S]\na=1\n[T]\nk=v\n");
    row("LF-only file without final end", "[S]\na=1", "T", "k", "v", "[S]\na=1\n[T]\nk=v\n");
    row("CR-only file, new key", "[S]\ra=1\r[T]\rb=2\r", "S", "k", "v", "[S]\ra=1\rk=v\r[T]\rb=2\r");
    row("CR-only file, new section", "[S]\ra=1\r", "T", "k", "v", "[S]\ra=1\r[T]\rk=v\r");
    row("CR-only file without final end", "[S]\ra=1", "S", "k", "v", "[S]\ra=1\rk=v\r");
    row("CR file, LF-ended empty line follows", "[S]\ra=1\n\n[T]\r", "S", "k", "v",
        "[S]\ra=1\nk=v\r\n\n[T]\r");
    row("byte-order mark kept", "\xef\xbb\xbf[S]\r\na=1\r\n", "S", "a", "2", "\xef\xbb\xbf[S]\r\na=2\r\n");
    row("binary bytes kept", bytes("\xff\x00\x01\r\n[S]\r\n"), "S", "k", "v",
        bytes("\xff\x00\x01\r\n[S]\r\nk=v\r\n"));
}

void TestProfileFile::writeRules() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, expected);

    const QByteArray written = ProfileFile::writeToText(content, section, key, value);
    QCOMPARE(written, expected);
    // What was written is what reads back.
    if (value == value.trimmed() && !value.startsWith('"'))
        QCOMPARE(ProfileFile::readFromText(written, section, key), value);

    // The same through a real file, and over an absent one for the "new file" case.
    const QString path = QStringLiteral("Talvex.ini");
    if (!content.isEmpty())
        QVERIFY(putFile(path, content));
    QVERIFY(ProfileFile::write(path, section, key, value));
    QCOMPARE(fileBytes(path), expected);
}

void TestProfileFile::refusedWrites_data() {
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("CRLF in value would add a section")
        << QByteArray("S") << QByteArray("k") << QByteArray("1\r\n[Other]\r\nx=1");
    QTest::newRow("LF in value") << QByteArray("S") << QByteArray("k") << QByteArray("a\nb");
    QTest::newRow("CR in value") << QByteArray("S") << QByteArray("k") << QByteArray("a\rb");
    QTest::newRow("line end in key") << QByteArray("S") << QByteArray("k\r\nx") << QByteArray("1");
    QTest::newRow("line end in section") << QByteArray("S\nT") << QByteArray("k") << QByteArray("1");
    QTest::newRow("] in section") << QByteArray("S]T") << QByteArray("k") << QByteArray("1");
    QTest::newRow("= in key") << QByteArray("S") << QByteArray("k=x") << QByteArray("1");
    QTest::newRow("key that is a comment") << QByteArray("S") << QByteArray(";k") << QByteArray("1");
    QTest::newRow("key that is a header") << QByteArray("S") << QByteArray(" [k") << QByteArray("1");
}

void TestProfileFile::refusedWrites() {
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    const QByteArray content("[S]\r\nk=old\r\n");
    QCOMPARE(ProfileFile::writeToText(content, section, key, value), content);
    QVERIFY(putFile(QStringLiteral("Talvex.ini"), content));
    QVERIFY(!ProfileFile::write(QStringLiteral("Talvex.ini"), section, key, value));
    QCOMPARE(fileBytes(QStringLiteral("Talvex.ini")), content);
}

void TestProfileFile::writeThenReadFuzz() {
    // Random files built from the pieces that matter to the parser; after any write the key
    // written reads back, and every other key of every section reads as before.
    const QList<QByteArray> sections{"S", "s", "T", " S ", "S]x", "", "Source 1"};
    const QList<QByteArray> keys{"k", "K", "x", " k", "#k", "Memory", ""};
    const QList<QByteArray> pieces{"[",
                                   "]",
                                   "=",
                                   ";",
                                   "#",
                                   "\r",
                                   "\n",
                                   "\r\n",
                                   " ",
                                   "\t",
                                   "\"",
                                   "'",
                                   "k",
                                   "K",
                                   "x",
                                   "S",
                                   "s",
                                   "T",
                                   "Source 1",
                                   "Memory",
                                   "v",
                                   "1",
                                   QByteArray(1, '\0')};
    QRandomGenerator rng(20240611);
    for (int round = 0; round < 3000; ++round) {
        QByteArray content;
        const int count = rng.bounded(0, 60);
        for (int i = 0; i < count; ++i)
            content += pieces[rng.bounded(pieces.size())];
        const QByteArray section = sections[rng.bounded(sections.size())];
        const QByteArray key = keys[rng.bounded(keys.size())];
        const QByteArray value = QByteArray::number(rng.bounded(100000)) + "v";

        const QByteArray written = ProfileFile::writeToText(content, section, key, value);
        if (section.contains(']')) {
            QCOMPARE(written, content); // refused
            continue;
        }
        QVERIFY2(ProfileFile::readFromText(written, section, key, 1000) == value,
                 content.toPercentEncoding());
        for (const QByteArray& s : sections) {
            for (const QByteArray& k : keys) {
                if (s.trimmed().compare(section.trimmed(), Qt::CaseInsensitive) == 0 &&
                    k.trimmed().compare(key.trimmed(), Qt::CaseInsensitive) == 0)
                    continue;
                QVERIFY2(ProfileFile::readFromText(written, s, k, 1000) ==
                             ProfileFile::readFromText(content, s, k, 1000),
                         (content.toPercentEncoding() + " / " + s + " / " + k).constData());
            }
        }
        // Writing the same again changes nothing.
        QCOMPARE(ProfileFile::writeToText(written, section, key, value), written);
    }
}

void TestProfileFile::malformedContent() {
    QRandomGenerator rng(7);
    for (int round = 0; round < 200; ++round) {
        QByteArray content(rng.bounded(0, 5000), Qt::Uninitialized);
        for (char& c : content)
            c = static_cast<char>(rng.bounded(256));
        // Biased towards structure characters every other round.
        if (round % 2)
            for (int i = 0; i < content.size(); i += rng.bounded(1, 20))
                content[i] = "[]=\r\n;"[rng.bounded(6)];
        const QByteArray written = ProfileFile::writeToText(content, "S", "k", "v");
        QCOMPARE(ProfileFile::readFromText(written, "S", "k"), QByteArray("v"));
        QVERIFY(ProfileFile::readFromText(content, "S", "k").size() <= 99);
    }
    // A long header missing its ] and a long line of NULs.
    const QByteArray odd = "[" + QByteArray(200000, 'S') + "\r\n" + QByteArray(300000, '\0') + "=x\r\n";
    QCOMPARE(ProfileFile::readFromText(odd, "S", "k"), QByteArray());
    QCOMPARE(ProfileFile::readFromText(ProfileFile::writeToText(odd, "T", "k", "v"), "T", "k"),
             QByteArray("v"));
}

void TestProfileFile::missingFile() {
    QCOMPARE(ProfileFile::read(QStringLiteral("Talvex.ini"), "S", "k"), QByteArray());
    QVERIFY(!QFile::exists(QStringLiteral("Talvex.ini")));
    QVERIFY(ProfileFile::write(QStringLiteral("Talvex.ini"), "Source 1", "Memory", "1"));
    QCOMPARE(fileBytes(QStringLiteral("Talvex.ini")), QByteArray("[Source 1]\r\nMemory=1\r\n"));
    QCOMPARE(ProfileFile::read(QStringLiteral("Talvex.ini"), "source 1", "memory"), QByteArray("1"));
}

void TestProfileFile::newFileHasNoLeftovers() {
    // The new file gets the usual permissions (not a temporary file's private ones), and no
    // temporary file is left beside it.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    QVERIFY(ProfileFile::write(m_dir->filePath(QStringLiteral("Talvex.ini")), "S", "k", "v"));
    QVERIFY(ProfileFile::write(m_dir->filePath(QStringLiteral("Talvex.ini")), "S", "k", "w"));
    struct stat st {};
    QCOMPARE(::stat("Talvex.ini", &st), 0);
    QCOMPARE(st.st_mode & 0777, 0666 & ~mask);
    QDir dir(m_dir->path());
    QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden),
             QStringList({QStringLiteral("Talvex.ini"), QStringLiteral("Talvex.ini.lock")}));
}

void TestProfileFile::rewriteSameValueKeepsBytes() {
    const QByteArray content("; mine\n[S]\r\n  k = v\r\n[T]\rx=1");
    QVERIFY(putFile(QStringLiteral("Talvex.ini"), content));
    QVERIFY(ProfileFile::write(QStringLiteral("Talvex.ini"), "T", "x", "1"));
    QCOMPARE(fileBytes(QStringLiteral("Talvex.ini")), content);
}

void TestProfileFile::unreadableFile() {
    if (permissionsIgnored())
        QSKIP("file permissions are not enforced for this process");
    const QByteArray content("[S]\r\nk=v\r\nother=1\r\n");
    QVERIFY(putFile(QStringLiteral("Talvex.ini"), content));
    QVERIFY(QFile::setPermissions(QStringLiteral("Talvex.ini"), QFileDevice::Permissions()));
    QCOMPARE(ProfileFile::read(QStringLiteral("Talvex.ini"), "S", "k"), QByteArray());
    // Rewriting it from an empty read would throw its content away.
    QVERIFY(!ProfileFile::write(QStringLiteral("Talvex.ini"), "S", "k", "new"));
    QVERIFY(QFile::setPermissions(QStringLiteral("Talvex.ini"),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(fileBytes(QStringLiteral("Talvex.ini")), content);
}

void TestProfileFile::readOnlyFile() {
    if (permissionsIgnored())
        QSKIP("file permissions are not enforced for this process");
    const QByteArray content("[S]\r\nk=v\r\n");
    QVERIFY(putFile(QStringLiteral("Talvex.ini"), content));
    QVERIFY(QFile::setPermissions(QStringLiteral("Talvex.ini"), QFileDevice::ReadOwner));
    QCOMPARE(ProfileFile::read(QStringLiteral("Talvex.ini"), "S", "k"), QByteArray("v"));
    QVERIFY(!ProfileFile::write(QStringLiteral("Talvex.ini"), "S", "k", "new"));
    QVERIFY(!ProfileFile::write(QStringLiteral("Talvex.ini"), "T", "k", "new"));
    // Writing what the file already holds loses nothing: not a failure.
    QVERIFY(ProfileFile::write(QStringLiteral("Talvex.ini"), "s", "K", "v"));
    QCOMPARE(fileBytes(QStringLiteral("Talvex.ini")), content);
    QCOMPARE(QFile::permissions(QStringLiteral("Talvex.ini")) & QFileDevice::WriteOwner,
             QFileDevice::Permissions());
}

void TestProfileFile::utf16File_data() {
    // What Windows reads as UTF-16 is neither read as 8-bit text nor appended to.
    const QByteArray text("[S]\r\nk=v\r\n");
    QByteArray little("\xFF\xFE");
    QByteArray big("\xFE\xFF");
    for (char c : text) {
        little += QByteArray(1, c) + '\0';
        big += QByteArray(1, '\0') + c;
    }
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("little-endian") << little;
    QTest::newRow("big-endian") << big;
    QTest::newRow("8-bit text already appended") << little + text;
}

void TestProfileFile::utf16File() {
    QFETCH(QByteArray, content);
    QVERIFY(putFile(QStringLiteral("Talvex.ini"), content));
    QCOMPARE(ProfileFile::read(QStringLiteral("Talvex.ini"), "S", "k"), QByteArray());
    QVERIFY(!ProfileFile::write(QStringLiteral("Talvex.ini"), "S", "k", "v"));
    QVERIFY(!ProfileFile::write(QStringLiteral("Talvex.ini"), "T", "n", "1"));
    QCOMPARE(ProfileFile::writeToText(content, "T", "n", "1"), content);
    QCOMPARE(fileBytes(QStringLiteral("Talvex.ini")), content);
}

void TestProfileFile::readOnlyFolder() {
    if (permissionsIgnored())
        QSKIP("folder permissions are not enforced for this process");
    QVERIFY(QDir().mkdir(QStringLiteral("ro")));
    const QByteArray content("[S]\r\nk=v\r\n");
    QVERIFY(putFile(QStringLiteral("ro/Talvex.ini"), content));
    QVERIFY(QFile::setPermissions(QStringLiteral("ro"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QCOMPARE(ProfileFile::read(QStringLiteral("ro/Talvex.ini"), "S", "k"), QByteArray("v"));
    QVERIFY(!ProfileFile::write(QStringLiteral("ro/Talvex.ini"), "S", "k", "new"));
    QVERIFY(!ProfileFile::write(QStringLiteral("ro/Other.ini"), "S", "k", "new"));
    QCOMPARE(fileBytes(QStringLiteral("ro/Talvex.ini")), content);
    QCOMPARE(QDir(QStringLiteral("ro")).entryList(QDir::Files | QDir::Hidden),
             QStringList(QStringLiteral("Talvex.ini")));
}

void TestProfileFile::missingFolder() {
    QVERIFY(!ProfileFile::write(QStringLiteral("nowhere/Talvex.ini"), "S", "k", "v"));
    QVERIFY(!QFileInfo::exists(QStringLiteral("nowhere")));
    QCOMPARE(ProfileFile::read(QStringLiteral("nowhere/Talvex.ini"), "S", "k"), QByteArray());
    QVERIFY(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

void TestProfileFile::pathIsAFolder() {
    QVERIFY(QDir().mkdir(QStringLiteral("Talvex.ini")));
    QCOMPARE(ProfileFile::read(QStringLiteral("Talvex.ini"), "S", "k"), QByteArray());
    QVERIFY(!ProfileFile::write(QStringLiteral("Talvex.ini"), "S", "k", "v"));
    QVERIFY(QFileInfo(QStringLiteral("Talvex.ini")).isDir());
}

void TestProfileFile::tenMegabyteFile() {
    // Ten megabytes of noise with one real section at the end: read and written intact.
    QByteArray content;
    content.reserve(10 * 1024 * 1024 + 100);
    QRandomGenerator rng(99);
    while (content.size() < 10 * 1024 * 1024) {
        QByteArray chunk(4096, Qt::Uninitialized);
        for (char& c : chunk)
            c = static_cast<char>(rng.bounded(256));
        chunk.replace('[', 'x');
        content += chunk;
    }
    content += "\r\n[S]\r\nk=v\r\n";
    QVERIFY(putFile(QStringLiteral("Talvex.ini"), content));
    QCOMPARE(ProfileFile::read(QStringLiteral("Talvex.ini"), "S", "k"), QByteArray("v"));
    QVERIFY(ProfileFile::write(QStringLiteral("Talvex.ini"), "S", "k", "w"));
    QVERIFY(ProfileFile::write(QStringLiteral("Talvex.ini"), "T", "n", "1"));
    const QByteArray after = fileBytes(QStringLiteral("Talvex.ini"));
    QVERIFY(after.startsWith(content.left(content.size() - 3))); // the noise is untouched
    QCOMPARE(after,
             ProfileFile::writeToText(ProfileFile::writeToText(content, "S", "k", "w"), "T", "n", "1"));
    QCOMPARE(ProfileFile::read(QStringLiteral("Talvex.ini"), "S", "k"), QByteArray("w"));
    QCOMPARE(ProfileFile::read(QStringLiteral("Talvex.ini"), "T", "n"), QByteArray("1"));
}

QTEST_APPLESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
