#pragma once

#include <QString>
#include <functional>

namespace kvalor {

// A damaged or unwritable password must not stop reading or writing the accounts, so the
// account records report it through this hook and carry on. The GUI shows the text in a
// message box; without a handler it goes to qWarning.
using AccountMessageHandler = std::function<void(const QString&)>;

// Installs the handler (an empty one restores the default) and returns the previous one.
AccountMessageHandler setAccountMessageHandler(AccountMessageHandler handler);

void reportAccountMessage(const QString& text);

}  // namespace kvalor
