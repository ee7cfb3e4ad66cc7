// SPDX-License-Identifier: GPL-3.0-or-later
#include "i18n/StringTable.h"

#include <QtTest>

// The expected texts are written with escapes for every accented letter, so a source file saved
// in the wrong encoding, or a lost trailing blank, shows up as a mismatch.
class TestStringTable : public QObject {
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void lookup_data();
    void lookup();
    void outsideTheTable_data();
    void outsideTheTable();
    void everyPairIsComplete();
    void namedNumbers_data();
    void namedNumbers();
    void message_data();
    void message();
    void everyMessageInBothLanguages();
};

void TestStringTable::text_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("expected");

    const QList<QPair<int, QString>> rows = {
        {101, QStringLiteral("&Logs Source")},
        {102, QStringLiteral("Source &Logs")},
        {103, QStringLiteral("Source")},
        {104, QStringLiteral("Source")},
        {105, QStringLiteral("Ecriture")},
        {106, QStringLiteral("Writing")},
        {107, QStringLiteral("Syslog")},
        {108, QStringLiteral("Syslog")},
        {109, QStringLiteral("Lignes")},
        {110, QStringLiteral("Lines")},
        {111, QStringLiteral("S\u00e9quentielle")},
        {112, QStringLiteral("Sequential")},
        {113, QStringLiteral("Al\u00e9atoire")},
        {114, QStringLiteral("Random")},
        {115, QStringLiteral("Infinie")},
        {116, QStringLiteral("Loop")},
        {117, QStringLiteral("D\u00e9lai \u00e9criture")},
        {118, QStringLiteral("Write Delay")},
        {119, QStringLiteral("Fichier")},
        {120, QStringLiteral("File")},
        {121, QStringLiteral("Port UDP")},
        {122, QStringLiteral("UDP Port")},
        {123, QStringLiteral("Dest IP")},
        {124, QStringLiteral("IP Dest")},
        {125, QStringLiteral("&Quitter")},
        {126, QStringLiteral("Exit")},
        {127, QStringLiteral("&Lecture Source")},
        {128, QStringLiteral("Src &Reading")},
        {129, QStringLiteral("&Quenby")},
        {130, QStringLiteral("&Quenby")},
        {131, QStringLiteral("F1; Aide")},
        {132, QStringLiteral("F1: Help")},
        {133, QStringLiteral("Sortie")},
        {134, QStringLiteral("Std Out")},
        {135, QStringLiteral("Votre Choix...")},
        {136, QStringLiteral("Your Choice...")},
        {137, QStringLiteral("Erreur Inconnue")},
        {138, QStringLiteral("Unknown Error")},
        {139, QStringLiteral("Ecriture (en boucle)")},
        {140, QStringLiteral("Writing (Loop)")},
        {141, QStringLiteral("Le fichier ")},
        {142, QStringLiteral("File ")},
        {143, QStringLiteral(".txt existe.")},
        {144, QStringLiteral(".txt exists.")},
        {145,
         QStringLiteral("Voulez vous ajouter des logs (Oui). Si Non, un nouveau fichier sera cr\u00e9e.")},
        {146, QStringLiteral("Do you want add Logs (Yes). If No, a new file will be create.")},
        {147, QStringLiteral("Fichier")},
        {148, QStringLiteral("File")},
        {149, QStringLiteral("La g\u00e9n\u00e9ration du fichier ")},
        {150, QStringLiteral("The file generation of ")},
        {151, QStringLiteral(".txt est termin\u00e9e.")},
        {152, QStringLiteral(".txt is done.")},
        {153,
         QStringLiteral("La valeur du d\u00e9lai d'\u00e9criture doit \u00eatre comprise entre 1 et 7200 "
                        "secondes.")},
        {154, QStringLiteral("Writing delay value must be between 1 and 7200 seconds.")},
        {155, QStringLiteral("Information")},
        {156, QStringLiteral("Information")},
        {157, QStringLiteral("La valeur du port UDP doit \u00eatre comprise entre 1 et 65534.")},
        {158, QStringLiteral("UDP Port value must be between 1 and 65534.")},
        {159, QStringLiteral("Il y a d\u00e9j\u00e0 ")},
        {160, QStringLiteral("Already ")},
        {161, QStringLiteral("Talvex en m\u00e9moire. Ce seuil est le maximum.")},
        {162, QStringLiteral("Talvex running in memory. This trigger is the maximum.")},
        {163, QStringLiteral("Seuil Maximum")},
        {164, QStringLiteral("Trigger")},
    };
    QCOMPARE(rows.size(), 64);
    for (const auto& row : rows)
        QTest::addRow("%d", row.first) << row.first << row.second;
}

void TestStringTable::text() {
    QFETCH(int, id);
    QFETCH(QString, expected);
    const QString actual = StringTable::text(id);
    QCOMPARE(actual, expected);
    // Spelled out so a wrong length (a lost blank, a double-encoded accent) is plain in the log.
    QCOMPARE(actual.size(), expected.size());
}

void TestStringTable::lookup_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("expected");

    QTest::newRow("first pair, French") << 1 << 0 << QStringLiteral("&Logs Source");
    QTest::newRow("first pair, English") << 1 << 1 << QStringLiteral("Source &Logs");
    QTest::newRow("delay label, French") << 17 << 0 << QStringLiteral("D\u00e9lai \u00e9criture");
    QTest::newRow("delay label, English") << 17 << 1 << QStringLiteral("Write Delay");
    QTest::newRow("help hint, French") << 31 << 0 << QStringLiteral("F1; Aide");
    QTest::newRow("help hint, English") << 31 << 1 << QStringLiteral("F1: Help");
    QTest::newRow("file question, French") << 41 << 0 << QStringLiteral("Le fichier ");
    QTest::newRow("file question, English") << 41 << 1 << QStringLiteral("File ");
    QTest::newRow("last pair, French") << 63 << 0 << QStringLiteral("Seuil Maximum");
    QTest::newRow("last pair, English") << 63 << 1 << QStringLiteral("Trigger");
}

void TestStringTable::lookup() {
    QFETCH(int, n);
    QFETCH(int, offset);
    QFETCH(QString, expected);
    QCOMPARE(StringTable::lookup(n, offset), expected);
}

void TestStringTable::outsideTheTable_data() {
    QTest::addColumn<int>("id");
    QTest::newRow("0") << 0;
    QTest::newRow("negative") << -101;
    QTest::newRow("base") << 100;
    QTest::newRow("one past the end") << 165;
    QTest::newRow("far") << 100000;
}

void TestStringTable::outsideTheTable() {
    QFETCH(int, id);
    QVERIFY(StringTable::text(id).isEmpty());
}

void TestStringTable::everyPairIsComplete() {
    // Every string number names a pair of two non-empty texts, reached through the lookup.
    for (int n = 1; n <= 63; n += 2) {
        QCOMPARE(StringTable::lookup(n, 0), StringTable::text(100 + n));
        QCOMPARE(StringTable::lookup(n, 1), StringTable::text(101 + n));
        QVERIFY2(!StringTable::lookup(n, 0).isEmpty(), qPrintable(QString::number(n)));
        QVERIFY2(!StringTable::lookup(n, 1).isEmpty(), qPrintable(QString::number(n)));
    }
}

void TestStringTable::namedNumbers_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("english");
    QTest::newRow("SourceButton") << Str::SourceButton << QStringLiteral("Source &Logs");
    QTest::newRow("Lines") << Str::Lines << QStringLiteral("Lines");
    QTest::newRow("OutputFrame") << Str::OutputFrame << QStringLiteral("Std Out");
    QTest::newRow("Choose") << Str::Choose << QStringLiteral("Your Choice...");
    QTest::newRow("UnknownError") << Str::UnknownError << QStringLiteral("Unknown Error");
    QTest::newRow("FileBefore") << Str::FileBefore << QStringLiteral("File ");
    QTest::newRow("GenerationDone") << Str::GenerationDone << QStringLiteral(".txt is done.");
    QTest::newRow("DelayRange") << Str::DelayRange
                                << QStringLiteral("Writing delay value must be between 1 and 7200 seconds.");
    QTest::newRow("Information") << Str::Information << QStringLiteral("Information");
    QTest::newRow("PortRange") << Str::PortRange
                               << QStringLiteral("UDP Port value must be between 1 and 65534.");
    QTest::newRow("LimitTitle") << Str::LimitTitle << QStringLiteral("Trigger");
}

void TestStringTable::namedNumbers() {
    QFETCH(int, n);
    QFETCH(QString, english);
    QCOMPARE(StringTable::lookup(n, 1), english);
}

void TestStringTable::message_data() {
    QTest::addColumn<StringTable::Message>("message");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("expected");
    using M = StringTable::Message;
    QTest::newRow("warning fr") << M::WarningTitle << 0 << QStringLiteral("Avertissement");
    QTest::newRow("warning en") << M::WarningTitle << 1 << QStringLiteral("Warning");
    QTest::newRow("companion fr")
        << M::CompanionFailed << 0
        << QStringLiteral("Le programme Quenby.exe est introuvable ou ne peut pas \u00eatre lanc\u00e9.");
    QTest::newRow("unreadable fr") << M::SourceUnreadable << 0
                                   << QStringLiteral("Impossible de lire la source \u00ab %1 \u00bb.\n%2");
    QTest::newRow("unreadable en") << M::SourceUnreadable << 1
                                   << QStringLiteral("The source \"%1\" cannot be read.\n%2");
    QTest::newRow("last of the table") << M::SourceReadError << 1 << QStringLiteral("Read error.");
}

void TestStringTable::message() {
    QFETCH(StringTable::Message, message);
    QFETCH(int, offset);
    QFETCH(QString, expected);
    QCOMPARE(StringTable::message(message, offset), expected);
}

void TestStringTable::everyMessageInBothLanguages() {
    for (int i = 0; i < StringTable::MessageCount; ++i) {
        const auto m = static_cast<StringTable::Message>(i);
        const QString french = StringTable::message(m, 0);
        const QString english = StringTable::message(m, 1);
        QVERIFY2(!french.isEmpty() && !english.isEmpty(), qPrintable(QString::number(i)));
        QVERIFY2(french != english, qPrintable(english));
    }
}

QTEST_GUILESS_MAIN(TestStringTable)
#include "tst_stringtable.moc"
