// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "i18n/StringTable.h"
#include "receive/ListenAddress.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <memory>

class EchoPane;
class QLabel;
class LogView;
class QPushButton;
class QSpinBox;
class Reception;

// The companion receiver's window: listens on one address, shows where, how many messages have
// come and how fast, and the last messages. Pause stops the view, never the reception; Clear
// empties it; Save writes the last messages, unchanged, to a file. When the address cannot be
// listened on, it says why and offers another port.
class ReceiverWindow : public QWidget {
    Q_OBJECT
public:
    // The messages kept for the view and for Save.
    static constexpr int MaxKept = 1000;

    // In the language stored in Talvex.ini of the current directory.
    explicit ReceiverWindow(QWidget* parent = nullptr);
    ~ReceiverWindow() override;

    // Listens on `address`; on failure the window shows why and offers another port.
    bool listen(const ListenAddress& address);
    // Writes the kept messages, each followed by CR LF; false with `error` set.
    bool saveTo(const QString& path, QString* error) const;

    qint64 messages() const;
    QStringList listening() const;
    // The view's text: one line per message shown, control characters drawn as symbols.
    QString viewText() const;
    bool paused() const { return m_paused; }

private:
    void message(QByteArrayView bytes);
    void showNew();
    void updateRate();
    void togglePause();
    void clear();
    void saveClicked();
    void listenOnOtherPort();
    void showFailure(const QString& text, quint16 suggestedPort);
    QString text(StringTable::Message message) const;
    static QString viewLine(const QByteArray& bytes);

    int m_languageOffset = 0;
    std::unique_ptr<Reception> m_reception;
    ListenAddress m_address;
    std::deque<QByteArray> m_kept;
    qsizetype m_unshown = 0; // kept messages not in the view yet, the newest ones
    bool m_paused = false;
    qint64 m_rateMessages = 0;
    QElapsedTimer m_rateClock;
    QTimer m_viewTimer;
    QTimer m_rateTimer;

    QLabel* m_listening = nullptr;
    QLabel* m_failure = nullptr;
    QWidget* m_otherPortRow = nullptr;
    QSpinBox* m_otherPort = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_rate = nullptr;
    QLabel* m_pausedNote = nullptr;
    LogView* m_view = nullptr;
    // Follows the newest message, holds still for a reader, keeps MaxKept lines.
    EchoPane* m_echo = nullptr;
    QPushButton* m_pause = nullptr;
};
