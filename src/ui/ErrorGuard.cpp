#include "ui/ErrorGuard.h"

#include <QMessageBox>

#include "ui/ProgramCaption.h"
#include "ui/Prompts.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

QString withFullStop(const QString& text) {
    if (text.isEmpty()) {
        return text;
    }
    // The last character, taking a surrogate pair as one (it converts to "?", above the stop).
    const qsizetype lastLength = text.size() >= 2 && text.back().isLowSurrogate() ? 2 : 1;
    const std::string last = toCp1251(text.right(lastLength));
    if (!last.empty() && static_cast<unsigned char>(last.back()) > '.') {
        return text + QLatin1Char('.');
    }
    return text;
}

void showError(const QString& text) {
    prompts().inform(withFullStop(text), kProgramCaption, QMessageBox::Critical);
}

void showError(const std::exception& error) {
    if (const auto* kvalorError = dynamic_cast<const KvalorError*>(&error)) {
        showError(kvalorError->message());
    } else {
        showError(QString::fromUtf8(error.what()));
    }
}

}  // namespace kvalor
