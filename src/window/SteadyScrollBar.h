// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QScrollBar>
#include <QStyle>

// A scroll bar that repaints for a new value or range only when its picture changes.
//
// A log view that follows its newest lines moves its bar at every frame, but once the handle is as
// short as the style allows and sits at the end, the new value paints the very same bar: and a
// style's scroll bar is one of the dearest things a frame paints (Fusion fills the groove with a
// gradient, which Qt hands to its thread pool for a bar taller than about a hundred pixels). What
// a style draws of a scroll bar follows from where it puts the bar's parts and whether the bar is
// at either end; when none of these changed since the last paint, the change is not painted.
// Everything else (hover, press, focus, a new size or style) repaints as Qt does.
class SteadyScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit SteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // An edit of the view changes the range and then the value: the bar in between (a longer
    // range, the old value) is not what it ends as. While a Hold lives the bar only notes that it
    // changed, and it repaints when the last Hold ends if the outcome shows.
    class Hold {
    public:
        explicit Hold(QScrollBar* bar);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        SteadyScrollBar* m_bar;
    };

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Look {
        QRect parts[5];
        QStyle::State state;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look& other) const;
    };
    Look look() const;
    bool showsChange() const;

    Look m_painted;
    bool m_hasPainted = false;
    int m_holds = 0;
    bool m_changedWhileHeld = false;
};
