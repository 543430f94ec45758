#include "question/QuestionWindowSupport.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include "model/Competitor.h"

namespace kvalor {

QColor defaultTextColour() {
    return QApplication::palette().color(QPalette::WindowText);
}

void setTextColour(QWidget& control, const QColor& colour) {
    QPalette palette = control.palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    control.setPalette(palette);
}

QColor textColour(const QWidget& control) {
    return control.palette().color(QPalette::WindowText);
}

TAuthorization authorizationOf(const TCompetitor& account) {
    TAuthorization entry;
    entry.UserName = account.GetName().substr(0, kAuthorizationNameLength);
    entry.UserId = account.Id();
    return entry;
}

}  // namespace kvalor
