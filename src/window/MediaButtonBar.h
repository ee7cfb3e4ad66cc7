// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QToolButton;

// The Play / Pause / Stop bar (MMControl1). Nothing here plays media: it is three buttons whose
// enabled states are set one by one, only by the program.
class MediaButtonBar : public QWidget {
    Q_OBJECT
public:
    explicit MediaButtonBar(QWidget* parent = nullptr);

    void setPlayEnabled(bool enabled);
    void setPauseEnabled(bool enabled);
    void setStopEnabled(bool enabled);
    bool isPlayEnabled() const;
    bool isPauseEnabled() const;
    bool isStopEnabled() const;

    QToolButton* playButton() const { return m_play; }
    QToolButton* pauseButton() const { return m_pause; }
    QToolButton* stopButton() const { return m_stop; }

signals:
    void playClicked();
    void pauseClicked();
    void stopClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* makeButton(const QString& name, int standardIcon);
    void placeButtons();

    QToolButton* m_play = nullptr;
    QToolButton* m_pause = nullptr;
    QToolButton* m_stop = nullptr;
};
