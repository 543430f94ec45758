// The start and the end of a run of Kvalor.
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>

#include "app/DataFolder.h"
#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "app/ShutdownSignals.h"
#include "app/SingleInstance.h"
#include "app/SplashScreen.h"
#include "app/Translations.h"
#include "authoring/TestsEdit.h"
#include "examination/ExamineSettings.h"
#include "results/ExportSettings.h"
#include "results/Journal.h"
#include "results/ResultsView.h"
#include "results/StatisticsWindow.h"
#include "ui/ErrorGuard.h"
#include "ui/Icons.h"
#include "ui/ProgramCaption.h"
#include "ui/Prompts.h"
#include "users/CompetitorsWindow.h"

namespace {

// The splash stays on screen this long after the windows are made.
constexpr int kSplashDelayMs = 2000;

void waitWithEvents(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kvalor;

    QStringList arguments;
    for (int index = 1; index < argc; ++index) {
        arguments << QFile::decodeName(argv[index]);
    }
    const StartOptions options = ParseStartOptions(arguments, qEnvironmentVariable("KVALOR_DATA"),
                                                   qEnvironmentVariable("KVALOR_SERVER"));
    if (!options.error.isEmpty()) {
        print(stderr, "kvalor: " + options.error + "\n" + StartUsage());
        return 2;
    }
    if (options.help || options.version) {
        print(stdout, options.help ? StartUsage() : QStringLiteral("kvalor " KVALOR_VERSION "\n"));
        return 0;
    }
    // Qt is given the program's name alone: its own options ("-platform", "-style") were
    // refused above, and the environment still sets what a desktop needs.
    int qtArgumentCount = 1;

    // From here on an end asked for by the system or the desktop is kept until the event loop
    // can take it.
    ShutdownSignals::Install();

    // A second copy only wakes the first and ends before it builds anything; on another
    // display it says where the program runs, since nothing would show here.
    SingleInstance instance(SingleInstance::defaultName());
    if (!instance.tryClaim()) {
        if (const std::optional<QString> elsewhere = instance.OtherDisplay()) {
            QApplication app(qtArgumentCount, argv);
            InstallQtTranslations();
            prompts().inform(QStringLiteral("Квалор уже запущен на другом экране (%1).\nЗавершите "
                                            "работу с ним там, прежде чем запускать его здесь.")
                                 .arg(*elsewhere),
                             kProgramCaption, QMessageBox::Information);
            return 0;
        }
        instance.askFirstToActivate();
        return 0;
    }

    QApplication app(qtArgumentCount, argv);
    InstallQtTranslations();
    // A signal ends the run as "Завершение работы" does: every event loop, modal ones too,
    // returns, and the data module saves below. A save under way finishes first, the loop
    // taking the signal only between events.
    ShutdownSignals shutdown;
    QObject::connect(&shutdown, &ShutdownSignals::endRequested, [] { QCoreApplication::exit(0); });
    // The desktop's session manager asks for the data before it ends the session (which the
    // user may still cancel): it is saved, and the program goes on.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest,
                     [] { dataModule().SaveRun(Ending::Unattended); });
    // A run starts from the run-mode dialog, never from a restored session: the session manager
    // must not start the program again with options of its own.
    QObject::connect(qApp, &QGuiApplication::saveStateRequest, [](QSessionManager& manager) {
        manager.setRestartHint(QSessionManager::RestartNever);
    });
    // Only the main window ends the run (it quits when it is allowed to close); a box closed
    // while the splash is up must not.
    QApplication::setQuitOnLastWindowClosed(false);
    initIconTheme();
    instance.listen();
    // Desktops match the windows to the menu entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("kvalor"));

    const QString dataFolder = ChooseDataFolder(
        options.dataFolder, QCoreApplication::applicationDirPath(), KVALOR_INSTALLED_COPY);
    if (!QDir().mkpath(dataFolder)) {
        showError(QStringLiteral("Не удалось создать папку данных %1").arg(dataFolder));
        return 1;
    }
    setProgramFolder(dataFolder);

    TfmSplashScreen splash;
    splash.show();
    splash.repaint();
    QApplication::processEvents();

    QApplication::setApplicationName(kProgramCaption);

    TDM& module = dataModule();
    module.SetStartServer(options.server);
    if (!module.DataModuleCreate(FirstStart::WriteStarterData,
                                 [&splash](std::uint64_t done, std::uint64_t total) {
                                     splash.ShowProgress(done, total);
                                 })) {
        return 1;
    }
    registerExamineSettings();
    registerJournal();
    registerResultsView();
    registerStatisticsWindow();
    registerCompetitors();
    registerTestsEdit();
    TfmKvalor mainWindow;
    exportSettingsDialog(mainWindow);
    QObject::connect(&instance, &SingleInstance::activationRequested, &mainWindow,
                     &TfmKvalor::BringToFront);

    waitWithEvents(kSplashDelayMs);
    splash.close();

    // The whole screen also where no window manager maximises it.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        mainWindow.setGeometry(screen->availableGeometry());
    }
    mainWindow.showMaximized();
    // Qt ends the process with exit() when the connection to the display breaks: the run is
    // saved on the way out, with nobody to ask. Registered after everything the save uses was
    // made, so that it runs before any of that is destroyed.
    std::atexit([] { dataModule().DataModuleDestroy(Ending::Unattended); });
    // A signal that came while the program started leaves the loops told to end already.
    const int result = ShutdownSignals::Requested() ? 0 : QApplication::exec();
    module.DataModuleDestroy(ShutdownSignals::Requested() ? Ending::Unattended : Ending::Attended);
    // Everything is saved and let go: the memory of the data, millions of records, goes back
    // with the process instead of record by record, which kept the user waiting for seconds.
    std::fflush(nullptr);
    std::_Exit(result);
}
