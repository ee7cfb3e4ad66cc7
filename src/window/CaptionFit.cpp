// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/CaptionFit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>

#include <algorithm>

namespace CaptionFit {

int captionRoom(const QWidget* control) {
    const QStyle* style = control->style();
    if (qobject_cast<const QRadioButton*>(control) || qobject_cast<const QCheckBox*>(control)) {
        QStyleOptionButton option;
        option.initFrom(control);
        const auto element = qobject_cast<const QRadioButton*>(control) ? QStyle::SE_RadioButtonContents
                                                                        : QStyle::SE_CheckBoxContents;
        return style->subElementRect(element, &option, control).width();
    }
    if (qobject_cast<const QPushButton*>(control)) {
        // The caption may use the button up to its frame.
        return control->width() - 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, control) - 2;
    }
    if (qobject_cast<const QGroupBox*>(control)) {
        QStyleOptionGroupBox option;
        option.initFrom(control);
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        option.text = QStringLiteral("x");
        const QRect label =
            style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, control);
        // The title starts where the style puts it and may run to the same margin on the right.
        return control->width() - 2 * qMax(0, label.left());
    }
    return control->contentsRect().width();
}

int captionWidth(const QWidget* control, const QString& text) {
    // The access-key ampersand is not drawn; a doubled one is drawn once.
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        shown += text.at(i);
    }
    return control->fontMetrics().horizontalAdvance(shown);
}

bool fits(const QList<Captions>& captions) {
    for (const Captions& c : captions) {
        const int room = captionRoom(c.control);
        for (const QString& text : c.texts) {
            if (captionWidth(c.control, text) > room)
                return false;
        }
    }
    return true;
}

void condenseWindow(QWidget* window, const QList<QWidget*>& ownFonts, const QList<Captions>& captions) {
    for (int stretch = 100; stretch >= MinimumStretch; stretch -= 2) {
        QFont base = window->font();
        base.setStretch(stretch);
        window->setFont(base);
        for (QWidget* w : ownFonts) {
            QFont f = w->font();
            f.setStretch(stretch);
            w->setFont(f);
        }
        if (fits(captions))
            break;
    }
}

void condenseControl(QWidget* control, const QStringList& texts) {
    QFont font = control->font();
    for (int stretch = font.stretch() > 0 ? font.stretch() : 100; stretch >= MinimumStretch; stretch -= 2) {
        font.setStretch(stretch);
        control->setFont(font);
        const int room = captionRoom(control);
        if (std::all_of(texts.cbegin(), texts.cend(),
                        [&](const QString& t) { return captionWidth(control, t) <= room; }))
            break;
    }
}

int fieldTextRoom(const QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth =
        edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins margins = edit->textMargins();
    constexpr int lineEditMargin = 2; // QLineEdit's own, on each side
    // The line edit keeps one pixel after the text for the cursor and scrolls the text when that
    // pixel does not fit, even when the field does not have the focus.
    constexpr int cursorWidth = 1;
    return contents.width() - margins.left() - margins.right() - 2 * lineEditMargin - cursorWidth;
}

void condenseField(QWidget* field, const QString& widest) {
    auto* combo = qobject_cast<QComboBox*>(field);
    const QLineEdit* edit = combo ? combo->lineEdit() : qobject_cast<QLineEdit*>(field);
    QFont font = field->font();
    for (int stretch = font.stretch() > 0 ? font.stretch() : 100; stretch >= MinimumStretch; stretch -= 2) {
        font.setStretch(stretch);
        field->setFont(font);
        if (edit->fontMetrics().horizontalAdvance(widest) <= fieldTextRoom(edit))
            break;
    }
}

} // namespace CaptionFit
