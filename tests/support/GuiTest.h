#pragma once

#include <ostream>

#include <QAbstractButton>
#include <QAction>
#include <QPoint>
#include <QString>
#include <Qt>

class QWidget;

// Readable QStrings in the messages of failed assertions.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace kvalor {

// Lets pending events run, deferred deletes included (windows that free themselves on closing).
void processEvents();

// Clicks the button as a user would and lets the events run. Fails the test instead when the
// button is disabled or hidden, since a user could not click it.
void click(QAbstractButton* button);
// Triggers the action as its menu item or tool button would. Fails the test when it is disabled.
void trigger(QAction* action);
// The same for the button or the action that the window names so (its objectName).
inline void click(const QObject& window, const char* name) {
    click(window.findChild<QAbstractButton*>(QLatin1String(name)));
}
inline void trigger(const QObject& window, const char* name) {
    trigger(window.findChild<QAction*>(QLatin1String(name)));
}
// Sends a key press and release to the widget, as the keyboard does: the shortcuts of its
// window come first.
void pressKey(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
              const QString& text = QString());
// Presses and releases the left mouse button at pos (the centre when pos is null).
void mouseClick(QWidget* target, QPoint pos = QPoint());

}  // namespace kvalor
