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

Prompts* setPrompts(Prompts* p) {
    Prompts* previous = installed;
    installed = p;
    return previous;
}

}  // namespace kvalor
