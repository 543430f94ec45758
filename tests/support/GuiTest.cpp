#include "support/GuiTest.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

namespace kvalor {

void processEvents() {
    QCoreApplication::processEvents();
    // Outside a running event loop deleteLater() waits for an explicit request.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void click(QAbstractButton* button) {
    processEvents();
    if (!button) {
        ADD_FAILURE() << "click on a missing button";
        return;
    }
    // Hidden means hidden within its window: tests need not show the window itself.
    const bool hidden = !button->isWindow() && !button->isVisibleTo(button->window());
    if (!button->isEnabled() || hidden) {
        ADD_FAILURE() << "click on the " << (button->isEnabled() ? "hidden" : "disabled")
                      << " button " << button->text().toStdString();
        return;
    }
    button->click();
    processEvents();
}

void trigger(QAction* action) {
    processEvents();
    if (!action) {
        ADD_FAILURE() << "trigger of a missing action";
        return;
    }
    if (!action->isEnabled()) {
        ADD_FAILURE() << "trigger of the disabled action " << action->text().toStdString();
        return;
    }
    action->trigger();
    processEvents();
}

void pressKey(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString& text) {
    // As typed: a shortcut of the window takes the key before the widget sees it.
    QTest::sendKeyEvent(QTest::Click, target, key, text, modifiers);
    processEvents();
}

void mouseClick(QWidget* target, QPoint pos) {
    const QPointF local = pos.isNull() ? QPointF(target->rect().center()) : QPointF(pos);
    const QPointF global = target->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
    processEvents();
}

}  // namespace kvalor
