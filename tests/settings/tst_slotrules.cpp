// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingValues.h"
#include "settings/SlotRules.h"

#include <QtTest>

// The value rules of a slot, as plain tables: the bounds each side of every limit.
class TestSlotRules : public QObject {
    Q_OBJECT

private slots:
    void delay_data();
    void delay();
    void step_data();
    void step();
    void port_data();
    void port();
    void storedPort_data();
    void storedPort();
    void host_data();
    void host();
    void replacements();
    void storedValues_data();
    void storedValues();
    void writtenValues();
};

void TestSlotRules::delay_data() {
    QTest::addColumn<double>("seconds");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("zero") << 0.0 << false;
    QTest::newRow("negative") << -1.0 << false;
    QTest::newRow("fraction") << 0.5 << true;
    QTest::newRow("one") << 1.0 << true;
    QTest::newRow("7200") << 7200.0 << true;
    QTest::newRow("just below 7201") << 7200.5 << true;
    QTest::newRow("7201") << 7201.0 << false;
    QTest::newRow("huge") << 1e300 << false;
}

void TestSlotRules::delay() {
    QFETCH(double, seconds);
    QFETCH(bool, accepted);
    QCOMPARE(SlotRules::DelayRange.accepts(seconds), accepted);
}

void TestSlotRules::step_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("stepped");
    QTest::newRow("up") << "10" << 1 << "11";
    QTest::newRow("down") << "10" << -1 << "9";
    QTest::newRow("down to zero: no bound of its own") << "1" << -1 << "0";
    QTest::newRow("past 7200: no bound of its own") << "7200" << 1 << "7201";
    QTest::newRow("decimal sum, not binary") << "2.3" << -1 << "1.3";
    QTest::newRow("fraction up") << "0.1" << 1 << "1.1";
    QTest::newRow("leading number only") << "5s" << 1 << "6";
    QTest::newRow("no number") << "abc" << 1 << "1";
    QTest::newRow("empty down") << "" << -1 << "-1";
}

void TestSlotRules::step() {
    QFETCH(QString, text);
    QFETCH(int, direction);
    QFETCH(QString, stepped);
    QCOMPARE(SlotRules::steppedDelay(text, direction), stepped);
}

void TestSlotRules::port_data() {
    QTest::addColumn<double>("port");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("usableWhenStored");
    QTest::newRow("zero") << 0.0 << false << false;
    QTest::newRow("negative") << -5.0 << false << false;
    QTest::newRow("one") << 1.0 << true << true;
    QTest::newRow("514") << 514.0 << true << true;
    QTest::newRow("32000") << 32000.0 << true << true;
    QTest::newRow("32000.5") << 32000.5 << true << false;
    QTest::newRow("32001") << 32001.0 << true << false;
    QTest::newRow("65534") << 65534.0 << true << false;
    QTest::newRow("65535") << 65535.0 << false << false;
}

void TestSlotRules::port() {
    QFETCH(double, port);
    QFETCH(bool, accepted);
    QCOMPARE(SlotRules::PortRange.accepts(port), accepted);
}

void TestSlotRules::storedPort_data() {
    port_data();
}

void TestSlotRules::storedPort() {
    QFETCH(double, port);
    QFETCH(bool, usableWhenStored);
    QCOMPARE(SlotRules::storedPortUsable(port), usableWhenStored);
}

void TestSlotRules::host_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("trimmed");
    QTest::addColumn<bool>("usable");
    QTest::newRow("loopback") << "127.0.0.1"
                              << "127.0.0.1" << true;
    QTest::newRow("trailing blanks and tabs") << "127.0.0.2 \t "
                                              << "127.0.0.2" << true;
    QTest::newRow("leading blank kept") << " 10.0.0.1"
                                        << " 10.0.0.1" << true;
    QTest::newRow("any address") << "0.0.0.0"
                                 << "0.0.0.0" << false;
    QTest::newRow("name") << "localhost"
                          << "localhost" << false;
    QTest::newRow("empty") << ""
                           << "" << false;
    QTest::newRow("only blanks") << "   "
                                 << "" << false;
    QTest::newRow("negative") << "-1.2.3.4"
                              << "-1.2.3.4" << false;
    QTest::newRow("number first") << "1abc"
                                  << "1abc" << true;
}

void TestSlotRules::host() {
    QFETCH(QString, stored);
    QFETCH(QString, trimmed);
    QFETCH(bool, usable);
    const QString host = SlotRules::hostWithoutTrailingBlanks(stored);
    QCOMPARE(host, trimmed);
    QCOMPARE(SlotRules::hostUsable(host), usable);
}

void TestSlotRules::replacements() {
    // A replacement must itself pass the check it stands in for, or a field would loop on it.
    QCOMPARE(SlotRules::DelayRange.replacementText(), QStringLiteral("10"));
    QVERIFY(SlotRules::DelayRange.accepts(SlotRules::DelayRange.replacement));
    QCOMPARE(SlotRules::PortRange.replacementText(), QStringLiteral("514"));
    QVERIFY(SlotRules::PortRange.accepts(SlotRules::DefaultPort));
    QVERIFY(SlotRules::storedPortUsable(SlotRules::DefaultPort));
    QCOMPARE(SlotRules::defaultHost(), QStringLiteral("127.0.0.1"));
    QVERIFY(SlotRules::hostUsable(SlotRules::defaultHost()));
}

void TestSlotRules::storedValues_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("nonZero");
    QTest::addColumn<bool>("english");
    QTest::newRow("missing") << "" << false << false;
    QTest::newRow("zero") << "0" << false << false;
    QTest::newRow("not a number") << "yes" << false << false;
    QTest::newRow("one") << "1" << true << false;
    QTest::newRow("minus one") << "-1" << true << false;
    QTest::newRow("two") << "2" << true << true;
    QTest::newRow("two with decimals") << "2.0" << true << true;
    QTest::newRow("two then letters") << "2abc" << true << true;
    QTest::newRow("leading zero") << "02" << true << true;
    QTest::newRow("close to two") << "2.5" << true << false;
    QTest::newRow("letters") << "en" << false << false;
}

void TestSlotRules::storedValues() {
    QFETCH(QString, stored);
    QFETCH(bool, nonZero);
    QFETCH(bool, english);
    QCOMPARE(SettingValues::flag(stored), nonZero);
    QCOMPARE(SettingValues::generationOrder(stored) == GenerationOrder::Random, nonZero);
    QCOMPARE(SettingValues::output(stored) == Output::Syslog, nonZero);
    QCOMPARE(SettingValues::english(stored), english);
}

void TestSlotRules::writtenValues() {
    // What is written reads back as what was meant.
    for (const GenerationOrder order : {GenerationOrder::Sequential, GenerationOrder::Random})
        QCOMPARE(SettingValues::generationOrder(SettingValues::text(order)), order);
    for (const Output output : {Output::File, Output::Syslog})
        QCOMPARE(SettingValues::output(SettingValues::text(output)), output);
    for (const bool on : {false, true})
        QCOMPARE(SettingValues::flag(SettingValues::flagText(on)), on);
    for (const bool english : {false, true})
        QCOMPARE(SettingValues::english(SettingValues::languageText(english)), english);
    QCOMPARE(SettingValues::text(GenerationOrder::Random), QStringLiteral("-1"));
    QCOMPARE(SettingValues::text(Output::Syslog), QStringLiteral("1"));
    QCOMPARE(SettingValues::languageText(false), QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(TestSlotRules)
#include "tst_slotrules.moc"
