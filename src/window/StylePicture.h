// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <QStyle>
#include <QStyleOption>
#include <QStylePainter>
#include <QWidget>

// What a style draws for a widget, kept as a picture while nothing it depends on changes: the
// widget's size, pixel ratio, palette and style, the option's state and direction, and a detail
// the caller names (a slider's place, say). Repainting the widget then copies the picture. A look
// is kept from its second paint on: one that changes with every paint (a slider that shrinks as
// lines come) is drawn straight onto the widget, at no more cost than without the picture.
class StylePicture {
public:
    template <class Draw>
    void paint(QWidget* widget, const QStyleOption& option, const QRect& detail, int detailFlags, Draw draw) {
        const Look look{widget->size(),
                        widget->devicePixelRatio(),
                        option.state,
                        option.direction,
                        widget->palette().cacheKey(),
                        widget->style(),
                        detail,
                        detailFlags};
        if (!(look == m_look)) {
            m_look = look;
            m_picture = QPixmap();
            QStylePainter painter(widget);
            draw(painter);
            return;
        }
        if (m_picture.isNull()) {
            QPixmap picture((QSizeF(look.size) * look.pixelRatio).toSize());
            picture.setDevicePixelRatio(look.pixelRatio);
            picture.fill(Qt::transparent);
            QStylePainter painter;
            painter.begin(&picture, widget);
            draw(painter);
            painter.end();
            m_picture = picture;
        }
        QPainter(widget).drawPixmap(0, 0, m_picture);
    }

private:
    struct Look {
        QSize size;
        qreal pixelRatio = 0;
        QStyle::State state;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        qint64 palette = 0;
        const QStyle* style = nullptr;
        QRect detail;
        int detailFlags = 0;
        bool operator==(const Look& o) const {
            return size == o.size && pixelRatio == o.pixelRatio && state == o.state &&
                   direction == o.direction && palette == o.palette && style == o.style &&
                   detail == o.detail && detailFlags == o.detailFlags;
        }
    };

    QPixmap m_picture;
    Look m_look;
};
