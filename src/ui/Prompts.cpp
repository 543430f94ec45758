#include "ui/Prompts.h"

#include "ui/QtPrompts.h"

namespace kvalor {

namespace {

Prompts* installed = nullptr;

}  // namespace

Prompts& prompts() {
    if (installed) {
        return *installed;
    }
    static QtPrompts qtPrompts;
    return qtPrompts;
}

bool confirmDestructive(const QString& text, const QString& caption, QMessageBox::Icon icon) {
    return prompts().ask(text, caption, icon, QMessageBox::Yes | QMessageBox::No,
                         QMessageBox::No) == QMessageBox::Yes;
}

Prompts* setPrompts(Prompts* p) {
    Prompts* previous = installed;
    installed = p;
    return previous;
}

}  // namespace kvalor
