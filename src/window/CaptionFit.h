// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QLineEdit;
class QWidget;

// The layout is fixed in pixels but the desktop's font is not: these condense fonts, in steps of
// 2 and never below MinimumStretch, until captions and field values fit their controls.
namespace CaptionFit {

constexpr int MinimumStretch = 70;

// A control and every caption it may show.
struct Captions {
    const QWidget* control;
    QStringList texts;
};

// Width available to the caption of a control, and width a caption takes in it.
int captionRoom(const QWidget* control);
int captionWidth(const QWidget* control, const QString& text);
// True when every text fits its control.
bool fits(const QList<Captions>& captions);

// Condenses `window`'s font, and the fonts of `ownFonts` that do not follow it, together from
// full width until every caption fits (or the minimum is reached).
void condenseWindow(QWidget* window, const QList<QWidget*>& ownFonts, const QList<Captions>& captions);
// Condenses one control's font further, from its current stretch, until each text fits it.
void condenseControl(QWidget* control, const QStringList& texts);

// Width a line edit gives its text: inside its frame, less its text margins and the pixels it
// keeps clear at each end.
int fieldTextRoom(const QLineEdit* edit);
// Condenses a line edit's or an editable combo box's font until `widest` fits its text room.
void condenseField(QWidget* field, const QString& widest);

} // namespace CaptionFit
