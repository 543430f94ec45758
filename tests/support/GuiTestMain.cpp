// The main of every test program of windows: a QApplication on the offscreen platform.
#include <gtest/gtest.h>
#include <QApplication>

#include "support/ScriptedPrompts.h"
#include "ui/Icons.h"

namespace {

QtMessageHandler defaultHandler = nullptr;

// The offscreen platform warns about every dialog of fixed size; that says nothing about the
// code under test and would bury the messages that do.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("does not support propagateSizeHints"))) {
        return;
    }
    defaultHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    defaultHandler = qInstallMessageHandler(messageHandler);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    kvalor::initIconTheme();
    testing::InitGoogleTest(&argc, argv);
    // Each test scripts its own prompts; one that reaches this empty script was not expected
    // and fails its test instead of waiting for a user forever.
    kvalor::ScriptedPrompts unexpectedPrompts;
    return RUN_ALL_TESTS();
}
