// SPDX-License-Identifier: GPL-3.0-or-later
#include "receiverwindow/ReceiverWindow.h"

#include "receive/Reception.h"
#include "settings/SettingKeys.h"
#include "settings/SettingValues.h"
#include "settings/Settings.h"
#include "window/EchoPane.h"
#include "window/LogView.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
constexpr int ViewIntervalMs = 100;
constexpr int RateIntervalMs = 1000;

using Msg = StringTable::Message;

// A port the sender can be set to as well: above the privileged ones, or the next one up.
quint16 suggestedPort(const ListenError& error, quint16 port) {
    if (error.kind == ListenError::Kind::Privileged)
        return port + 5000 <= 65535 && port + 5000 >= 1024 ? quint16(port + 5000) : quint16(5514);
    return port < 65535 ? quint16(port + 1) : quint16(1024);
}
} // namespace

ReceiverWindow::ReceiverWindow(QWidget* parent) : QWidget(parent) {
    m_languageOffset =
        SettingValues::english(Settings::read(SettingKeys::SettingsSection, SettingKeys::Language)) ? 1 : 0;
    setWindowTitle(text(Msg::ReceiverTitle));

    m_listening = new QLabel(text(Msg::ReceiverNotListening), this);
    m_listening->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_failure = new QLabel(this);
    m_failure->setWordWrap(true);
    m_failure->setStyleSheet(QStringLiteral("color: #b00000"));
    m_failure->hide();

    m_otherPortRow = new QWidget(this);
    auto* otherPortLayout = new QHBoxLayout(m_otherPortRow);
    otherPortLayout->setContentsMargins(0, 0, 0, 0);
    auto* otherPortLabel = new QLabel(text(Msg::ReceiverOtherPort), m_otherPortRow);
    m_otherPort = new QSpinBox(m_otherPortRow);
    m_otherPort->setRange(1, 65535);
    otherPortLabel->setBuddy(m_otherPort);
    auto* listenButton = new QPushButton(text(Msg::ReceiverListenButton), m_otherPortRow);
    connect(listenButton, &QPushButton::clicked, this, &ReceiverWindow::listenOnOtherPort);
    otherPortLayout->addWidget(otherPortLabel);
    otherPortLayout->addWidget(m_otherPort);
    otherPortLayout->addWidget(listenButton);
    otherPortLayout->addStretch();
    m_otherPortRow->hide();

    m_count = new QLabel(text(Msg::ReceiverCount).arg(0), this);
    m_rate = new QLabel(text(Msg::ReceiverRate).arg(0), this);
    auto* counts = new QHBoxLayout;
    counts->addWidget(m_count);
    counts->addStretch();
    counts->addWidget(m_rate);

    m_view = new LogView(this);
    m_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_pausedNote = new QLabel(text(Msg::ReceiverPaused), this);
    m_pausedNote->hide();

    m_pause = new QPushButton(text(Msg::ReceiverPause), this);
    auto* clearButton = new QPushButton(text(Msg::ReceiverClear), this);
    auto* saveButton = new QPushButton(text(Msg::ReceiverSave), this);
    connect(m_pause, &QPushButton::clicked, this, &ReceiverWindow::togglePause);
    connect(clearButton, &QPushButton::clicked, this, &ReceiverWindow::clear);
    connect(saveButton, &QPushButton::clicked, this, &ReceiverWindow::saveClicked);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pause);
    buttons->addWidget(clearButton);
    buttons->addWidget(saveButton);
    buttons->addStretch();

    // The count label is this window's own: the echo is given none to write.
    m_echo = new EchoPane(m_view, nullptr, this);
    m_echo->setMaxLines(MaxKept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_listening);
    layout->addWidget(m_failure);
    layout->addWidget(m_otherPortRow);
    layout->addLayout(counts);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_pausedNote);
    layout->addLayout(buttons);
    resize(640, 400);

    // The view follows in frames, so a flood of messages costs one repaint per frame.
    m_viewTimer.setInterval(ViewIntervalMs);
    connect(&m_viewTimer, &QTimer::timeout, this, &ReceiverWindow::showNew);
    m_rateTimer.setInterval(RateIntervalMs);
    connect(&m_rateTimer, &QTimer::timeout, this, &ReceiverWindow::updateRate);
}

ReceiverWindow::~ReceiverWindow() = default;

QString ReceiverWindow::text(StringTable::Message message) const {
    return StringTable::message(message, m_languageOffset);
}

bool ReceiverWindow::listen(const ListenAddress& address) {
    m_address = address;
    m_reception.reset();
    auto reception =
        std::make_unique<Reception>([this](QByteArrayView bytes, const QHostAddress&) { message(bytes); });
    const ListenError error = reception->listen({address});
    if (error.isError()) {
        m_listening->setText(text(Msg::ReceiverNotListening));
        m_viewTimer.stop();
        m_rateTimer.stop();
        const QString port = QString::number(address.port);
        switch (error.kind) {
        case ListenError::Kind::Privileged:
            showFailure(text(Msg::ReceiverPrivileged).arg(port), suggestedPort(error, address.port));
            break;
        case ListenError::Kind::InUse:
            showFailure(text(Msg::ReceiverInUse).arg(port), suggestedPort(error, address.port));
            break;
        default:
            showFailure(text(Msg::ReceiverListenFailed).arg(address.toString(), error.reason), address.port);
            break;
        }
        return false;
    }
    m_reception = std::move(reception);
    m_failure->hide();
    m_otherPortRow->hide();
    const QString where = m_reception->listening().join(QStringLiteral(", "));
    m_listening->setText(text(Msg::ReceiverListening).arg(where));
    // Several companions can be open at once: each title says which one it is.
    setWindowTitle(text(Msg::ReceiverTitle) + QStringLiteral(" - ") + where);
    m_rateMessages = 0;
    m_rateClock.start();
    m_viewTimer.start();
    m_rateTimer.start();
    return true;
}

void ReceiverWindow::showFailure(const QString& failure, quint16 suggestedPort) {
    m_failure->setText(failure);
    m_failure->show();
    m_otherPort->setValue(suggestedPort);
    m_otherPortRow->show();
}

void ReceiverWindow::listenOnOtherPort() {
    ListenAddress address = m_address;
    address.port = quint16(m_otherPort->value());
    listen(address);
}

qint64 ReceiverWindow::messages() const {
    return m_reception ? m_reception->messages() : 0;
}

QStringList ReceiverWindow::listening() const {
    return m_reception ? m_reception->listening() : QStringList();
}

void ReceiverWindow::message(QByteArrayView bytes) {
    m_kept.emplace_back(bytes.toByteArray());
    if (m_kept.size() > std::size_t(MaxKept))
        m_kept.pop_front();
    m_unshown = std::min<qsizetype>(m_unshown + 1, MaxKept);
}

QString ReceiverWindow::viewLine(const QByteArray& bytes) {
    // One line per message: control characters, the line ends among them, as their symbols.
    QString line = QString::fromUtf8(bytes);
    for (QChar& c : line) {
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7f)
            c = QChar(0x2421);
    }
    return line;
}

void ReceiverWindow::showNew() {
    m_count->setText(text(Msg::ReceiverCount).arg(messages()));
    if (m_paused || m_unshown == 0)
        return;
    QStringList lines;
    lines.reserve(m_unshown);
    for (auto it = m_kept.end() - m_unshown; it != m_kept.end(); ++it)
        lines << viewLine(*it);
    m_unshown = 0;
    m_echo->appendShown(lines);
    m_echo->flush(); // this window's own timer paces the frames
}

void ReceiverWindow::updateRate() {
    const qint64 now = messages();
    const double seconds = double(m_rateClock.restart()) / 1000;
    m_rate->setText(
        text(Msg::ReceiverRate).arg(seconds > 0 ? qRound64(double(now - m_rateMessages) / seconds) : 0));
    m_rateMessages = now;
}

void ReceiverWindow::togglePause() {
    m_paused = !m_paused;
    m_pause->setText(text(m_paused ? Msg::ReceiverResume : Msg::ReceiverPause));
    m_pausedNote->setVisible(m_paused);
    if (!m_paused)
        showNew();
}

void ReceiverWindow::clear() {
    m_kept.clear();
    m_unshown = 0;
    m_echo->clear();
}

QString ReceiverWindow::viewText() const {
    QString shown = m_echo->text();
    shown.chop(1); // the line end after the last line
    return shown;
}

bool ReceiverWindow::saveTo(const QString& path, QString* error) const {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        for (const QByteArray& m : m_kept)
            file.write(m + "\r\n");
        if (file.commit())
            return true;
    }
    *error = text(Msg::ReceiverSaveFailed).arg(path, file.errorString());
    return false;
}

void ReceiverWindow::saveClicked() {
    const QString path = QFileDialog::getSaveFileName(this, text(Msg::ReceiverSaveTitle));
    if (path.isEmpty())
        return;
    QString error;
    if (!saveTo(path, &error)) {
        m_failure->setText(error);
        m_failure->show();
    }
}
