#include "SlotSettings.h"

#include "NumberText.h"
#include "Settings.h"

#include <cmath>

namespace {
// What the window's fields accept, and what they put in place of the rest.
constexpr double DelayAbove = 0;
constexpr double DelayBelow = 7201;
constexpr double DelayReplacement = 10;
// Ports stored above this are not taken back by the initialisation.
constexpr double MaxStoredPort = 32000;
constexpr int DefaultPort = 514;
const char* const DefaultHost = "127.0.0.1";

QString withoutTrailingBlanks(QString text) {
    qsizetype end = text.size();
    while (end > 0 && (text.at(end - 1) == QLatin1Char(' ') || text.at(end - 1) == QLatin1Char('\t')))
        --end;
    text.truncate(end);
    return text;
}
} // namespace

QString SlotSettings::section(int slot) {
    return QStringLiteral("Source ") + QString::number(slot);
}

SlotSettings SlotSettings::read(int slot) {
    const QString name = section(slot);
    auto number = [&name](const char* key) { return TextToNumber(Settings::read(name, QLatin1String(key))); };

    SlotSettings s;
    const double delay = number("Delay");
    s.delay = delay > DelayAbove && delay < DelayBelow ? delay : DelayReplacement;
    s.loop = number("Loop") == 0 ? 0 : 1;
    s.generationType = number("GenerationType") == 0 ? 0 : -1;
    s.outputChoice = number("SyslogFile") == 0 ? 0 : 1;
    const double port = number("UDP_Port_Syslog");
    s.port = port > MaxStoredPort || port <= 0 ? DefaultPort : static_cast<int>(std::nearbyint(port));
    const QString host = withoutTrailingBlanks(Settings::read(name, QStringLiteral("HostIP")));
    s.host = TextToNumber(host) <= 0 ? QString::fromLatin1(DefaultHost) : host;
    s.sourceFile = Settings::read(name, QStringLiteral("SourceFile"));
    return s;
}
