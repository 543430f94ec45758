#include "ui/Fonts.h"

#include <algorithm>

#include <QAction>
#include <QFontMetricsF>
#include <QMenu>
#include <QSet>
#include <QToolButton>
#include <QWidget>

namespace kvalor {

namespace {

class FontSizeWalk {
public:
    explicit FontSizeWalk(int pointSize) : pointSize_(pointSize) {}

    void walkChildren(QWidget* parent) {
        for (QObject* object : parent->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            // Another window (a dialog owned by this one) keeps its own font; popups belong here.
            if (child && (!child->isWindow() || qobject_cast<QMenu*>(child))) {
                apply(child);
            }
        }
        applyToMenusOf(parent);
    }

private:
    void apply(QWidget* widget) {
        if (visited_.contains(widget)) {
            return;
        }
        visited_.insert(widget);
        QFont font = widget->font();
        font.setPointSize(pointSize_);
        widget->setFont(font);
        walkChildren(widget);
    }

    // Menus reached through actions and tool buttons need not be children of the window.
    void applyToMenusOf(QWidget* widget) {
        for (QAction* action : widget->actions()) {
            if (QMenu* menu = action->menu()) {
                apply(menu);
            }
        }
        if (auto* button = qobject_cast<QToolButton*>(widget)) {
            if (QMenu* menu = button->menu()) {
                apply(menu);
            }
        }
    }

    int pointSize_;
    QSet<QWidget*> visited_;
};

}  // namespace

void ApplyFontSize(QWidget* window, int pointSize) {
    if (!window || pointSize <= 0) {
        return;
    }
    FontSizeWalk(pointSize).walkChildren(window);
}

int BoundedFontSize(int pointSize) {
    return std::clamp(pointSize, kMinFontSize, kMaxFontSize);
}

bool FontSizeDiffers(const QWidget* control, int pointSize) {
    return control && control->font().pointSize() != pointSize;
}

int ScaledToFont(const QWidget& control, int width) {
    // The line height of the 8-point font the widths were laid out for.
    constexpr qreal kDesignLineHeight = 13.0;
    const qreal factor =
        std::max<qreal>(1.0, QFontMetricsF(control.font()).height() / kDesignLineHeight);
    return qRound(width * factor);
}

}  // namespace kvalor
