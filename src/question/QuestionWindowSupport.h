#pragma once

#include <QColor>

#include "model/Authorization.h"

class QWidget;

namespace kvalor {

class TCompetitor;

// The colours of the examination windows' status texts.
inline const QColor kNavyText(0, 0, 128);
inline const QColor kGreenText(0, 128, 0);
inline const QColor kMaroonText(128, 0, 0);
inline const QColor kRedText(255, 0, 0);

// The text colour of labels that show no status.
QColor defaultTextColour();
// Gives the label (or any control that draws with the window text colour) that colour.
void setTextColour(QWidget& control, const QColor& colour);
QColor textColour(const QWidget& control);

// The login line of one account with no group: what the examination windows hand to the login
// dialog when a particular account has to confirm something.
TAuthorization authorizationOf(const TCompetitor& account);

}  // namespace kvalor
