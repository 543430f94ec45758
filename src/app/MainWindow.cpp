#include "app/MainWindow.h"

#include <algorithm>
#include <map>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/Authorization.h"
#include "app/DataModule.h"
#include "app/NetworkRun.h"
#include "app/ProgressWindow.h"
#include "app/RunMode.h"
#include "app/ServerLink.h"
#include "app/Settings.h"
#include "model/BuiltinAccounts.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "ui/ErrorGuard.h"
#include "ui/Icons.h"
#include "ui/ObjectNames.h"
#include "ui/ProgramCaption.h"
#include "ui/Prompts.h"
#include "util/Error.h"

namespace kvalor {

namespace {

struct WorkingWindowKind {
    TfmKvalor::WorkingWindowFactory factory;
    TfmKvalor::WorkingWindowRefresh refresh;
};

// Class names compare without regard to letter case, so the registry keys are lower case.
std::map<QString, WorkingWindowKind>& workingWindowKinds() {
    static std::map<QString, WorkingWindowKind> kinds;
    return kinds;
}

const WorkingWindowKind* findKind(const QString& className) {
    const auto& kinds = workingWindowKinds();
    const auto found = kinds.find(className.toLower());
    return found == kinds.end() ? nullptr : &found->second;
}

// The class name as the program names its windows: the namespace does not count.
QString plainClassName(const QWidget& window) {
    const QString name = QString::fromLatin1(window.metaObject()->className());
    const qsizetype separator = name.lastIndexOf(QLatin1String("::"));
    return separator < 0 ? name : name.mid(separator + 2);
}

QAction* makeAction(QObject* parent, const QString& caption, ActionIcon icon) {
    return new QAction(actionIcon(icon), caption, parent);
}

}  // namespace

void TfmKvalor::registerWorkingWindow(const QString& className, WorkingWindowFactory factory,
                                      WorkingWindowRefresh refresh) {
    workingWindowKinds()[className.toLower()] = {std::move(factory), std::move(refresh)};
}

TfmKvalor::TfmKvalor()
    : mdiArea_(new QMdiArea),
      actEditTests_(makeAction(this, QStringLiteral("Тесты"), ActionIcon::Tests)),
      actEditUsers_(makeAction(this, QStringLiteral("Соискатели"), ActionIcon::Users)),
      actTest_(makeAction(this, QStringLiteral("Тестирование"), ActionIcon::Examination)),
      actConnect_(makeAction(this, QStringLiteral("Режим работы"), ActionIcon::RunMode)),
      actJournal_(makeAction(this, QStringLiteral("Журнал"), ActionIcon::Journal)),
      actSetting_(makeAction(this, QStringLiteral("Настройка"), ActionIcon::Settings)),
      actClose_(makeAction(this, QStringLiteral("Завершение работы"), ActionIcon::Exit)),
      actInportStudies_(
          makeAction(this, QStringLiteral("Импорт результатов тестов"), ActionIcon::Import)),
      actReload_(new QAction(QStringLiteral("Обновить с сервера"), this)),
      lbServerState_(new QLabel) {
    setWindowTitle(kProgramCaption);
    setWindowIcon(actionIcon(ActionIcon::Examination));
    // The working windows never scroll the frame.
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setCentralWidget(mdiArea_);
    buildToolBar();
    lbServerState_->setObjectName(QStringLiteral("lbServerState"));
    statusBar()->addWidget(lbServerState_);
    statusBar()->setVisible(false);

    const std::pair<QAction*, void (TfmKvalor::*)()> handlers[] = {
        {actEditTests_, &TfmKvalor::actEditTestsExecute},
        {actEditUsers_, &TfmKvalor::actEditUsersExecute},
        {actTest_, &TfmKvalor::actTestExecute},
        {actConnect_, &TfmKvalor::actConnectExecute},
        {actJournal_, &TfmKvalor::actJournalExecute},
        {actSetting_, &TfmKvalor::actSettingExecute},
        {actClose_, &TfmKvalor::actCloseExecute},
        {actInportStudies_, &TfmKvalor::actInportStudiesExecute},
        {actReload_, &TfmKvalor::actReloadExecute},
    };
    for (const auto& [action, handler] : handlers) {
        connect(action, &QAction::triggered, this, guard([this, handler] { (this->*handler)(); }));
    }

    // The long-lived dialogs of the program.
    authorization_ = new TfmAuthorization(this);
    runMode_ = new TfmRunMode(*this, *authorization_);
    setting_ = new TfmSetting(this);
    nameObjects({{actEditTests_, "actEditTests"},
                 {actEditUsers_, "actEditUsers"},
                 {actTest_, "actTest"},
                 {actConnect_, "actConnect"},
                 {actJournal_, "actJournal"},
                 {actInportStudies_, "actInportStudies"},
                 {actReload_, "actReload"}});

    TDM& module = dataModule();
    connect(&module, &TDM::runModeChanged, this, [this] {
        updateActions();
        OfferReload();
    });
    connect(&module, &TDM::serverStateChanged, this, [this] { ShowServerState(); });
    connect(&module, &TDM::listsChanged, this, [this](const QString& words) {
        // A list not named in an offer declined before is news worth another question.
        if (!changedLists_.contains(words)) {
            changedLists_ << words;
            reloadDeclined_ = false;
        }
        OfferReload();
    });
    // The windows point into the data: they close before the data are replaced and the same
    // ones open again on the new data.
    connect(&module, &TDM::dataReplacing, this, [this] {
        const QStringList reopening = {
            QStringLiteral("TfmTestsEdit"), QStringLiteral("TfmCompetitors"),
            QStringLiteral("TfmJournal"), QStringLiteral("TfmExamineSettings")};
        reopened_.clear();
        for (QMdiSubWindow* sub : mdiArea_->subWindowList(QMdiArea::CreationOrder)) {
            if (!sub->isHidden() && sub->widget() &&
                reopening.contains(plainClassName(*sub->widget()))) {
                reopened_ << plainClassName(*sub->widget());
            }
        }
        CloseAllWorkingWindows();
    });
    connect(&module, &TDM::dataReplaced, this, [this] {
        changedLists_.clear();
        reloadDeclined_ = false;
        for (const QString& className : std::exchange(reopened_, {})) {
            ShowWorkingWindow(className);
        }
    });
    module.SetRunMode(TRunMode::None);
    // The data module may have loaded from the server before this window was made.
    ShowServerState();

    qApp->installEventFilter(this);
    // Coming back to the program counts as an activation of its main window.
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive && isVisible()) {
                    QTimer::singleShot(0, this, guard([this] { FormActivate(); }));
                }
            });
}

TfmKvalor::~TfmKvalor() {
    qApp->removeEventFilter(this);
}

void TfmKvalor::buildToolBar() {
    auto* fileMenu = new QMenu(QStringLiteral("Файл"), this);
    fileMenu->addAction(actConnect_);
    fileMenu->addAction(actInportStudies_);
    fileMenu->addAction(actReload_);
    fileMenu->addSeparator();
    fileMenu->addAction(actSetting_);
    fileMenu->addSeparator();
    fileMenu->addAction(actClose_);

    auto* fileButton = new QToolButton;
    fileButton->setText(QStringLiteral("Файл"));
    fileButton->setMenu(fileMenu);
    fileButton->setPopupMode(QToolButton::InstantPopup);
    fileButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    fileButton->setAutoRaise(true);

    tbMainMenu_ = new QToolBar(QStringLiteral("Главное меню"), this);
    tbMainMenu_->setObjectName(QStringLiteral("tbMainMenu"));
    tbMainMenu_->setMovable(false);
    tbMainMenu_->setFloatable(false);
    tbMainMenu_->setIconSize(QSize(32, 32));
    tbMainMenu_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tbMainMenu_->toggleViewAction()->setEnabled(false);
    tbMainMenu_->addWidget(fileButton);
    for (QAction* action : {actTest_, actEditTests_, actEditUsers_, actJournal_}) {
        tbMainMenu_->addSeparator();
        tbMainMenu_->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, tbMainMenu_);
}

void TfmKvalor::updateActions() {
    const TRunMode mode = dataModule().RunMode();
    const bool chosen =
        mode == TRunMode::Testing || mode == TRunMode::Administrator || mode == TRunMode::Teacher;
    const bool staff = mode == TRunMode::Administrator || mode == TRunMode::Teacher;
    actEditTests_->setEnabled(mode == TRunMode::Administrator);
    actEditUsers_->setEnabled(staff);
    actInportStudies_->setEnabled(staff);
    actReload_->setVisible(dataModule().NetworkMode());
    actReload_->setEnabled(staff);
    actJournal_->setEnabled(chosen);
    actTest_->setEnabled(chosen);
    actConnect_->setEnabled(true);
    actSetting_->setEnabled(true);
    actClose_->setEnabled(true);
}

QWidget* TfmKvalor::FindHosted(const QString& className) const {
    for (QMdiSubWindow* sub : mdiArea_->subWindowList(QMdiArea::CreationOrder)) {
        // A window that was closed is hidden until it is freed.
        QWidget* window = sub->widget();
        if (!sub->isHidden() && window &&
            plainClassName(*window).compare(className, Qt::CaseInsensitive) == 0) {
            return window;
        }
    }
    return nullptr;
}

bool TfmKvalor::IsHosted(const QString& className) const {
    return FindHosted(className) != nullptr;
}

void TfmKvalor::ActivateHosted(const QString& className) {
    if (QWidget* window = FindHosted(className)) {
        BringForward(*window);
    }
}

void TfmKvalor::BringForward(QWidget& window) {
    auto* sub = qobject_cast<QMdiSubWindow*>(window.parentWidget());
    if (!sub) {
        return;
    }
    if (sub->isMinimized()) {
        sub->showNormal();
    }
    mdiArea_->setActiveSubWindow(sub);
    sub->raise();
    sub->update();
}

QMdiSubWindow* TfmKvalor::HostWorkingWindow(QWidget* window) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    // A window that chose its size keeps it inside the frame.
    const QSize ownSize = window->testAttribute(Qt::WA_Resized) ? window->size() : QSize();
    QMdiSubWindow* sub = mdiArea_->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // A working window that closes itself takes its frame with it. Queued, so that a frame
    // which is itself being freed (and frees the window) is never called.
    connect(window, &QObject::destroyed, sub, &QMdiSubWindow::close, Qt::QueuedConnection);
    sub->show();
    if (ownSize.isValid()) {
        sub->resize(ownSize + sub->size() - window->size());
    }
    // The frame places a new window below the others, often partly off the area: it must
    // show whole, with its buttons in reach.
    const QRect area = mdiArea_->viewport()->rect();
    QRect frame = sub->geometry();
    frame.setSize(frame.size().boundedTo(area.size()));
    frame.moveLeft(std::max(0, std::min(frame.left(), area.width() - frame.width())));
    frame.moveTop(std::max(0, std::min(frame.top(), area.height() - frame.height())));
    sub->setGeometry(frame);
    return sub;
}

QWidget* TfmKvalor::ShowWorkingWindow(const QString& className) {
    const WorkingWindowKind* kind = findKind(className);
    QWidget* window = FindHosted(className);
    if (!window) {
        if (!kind || !kind->factory) {
            return nullptr;
        }
        window = kind->factory(*this);
        if (!window) {
            return nullptr;
        }
        HostWorkingWindow(window);
    }
    if (kind && kind->refresh) {
        kind->refresh(*window);
    }
    BringForward(*window);
    return window;
}

void TfmKvalor::CloseAllWorkingWindows() {
    for (QMdiSubWindow* sub : mdiArea_->subWindowList(QMdiArea::CreationOrder)) {
        sub->close();
    }
}

void TfmKvalor::FormActivate() {
    // While another dialog is up the frame itself cannot become active.
    if (dataModule().RunMode() != TRunMode::None || runMode_->isVisible() ||
        QApplication::activeModalWidget()) {
        return;
    }
    // The frame fills the screen behind the dialog even where nothing maximises it.
    if (!isMaximized() && !isFullScreen()) {
        if (const QScreen* screen = this->screen()) {
            resize(screen->availableGeometry().size());
        }
    }
    prompts().runModal(*runMode_);
    if (dataModule().RunMode() == TRunMode::Testing) {
        actTestExecute();
    }
}

void TfmKvalor::BringToFront() {
    if (!isVisible()) {
        return;
    }
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    QWidget* target = QApplication::activeModalWidget();
    if (!target) {
        target = this;
    }
    target->raise();
    target->activateWindow();
}

void TfmKvalor::closeEvent(QCloseEvent* event) {
    if (!closingAllowed_ && !runMode_->isVisible()) {
        guarded([this] { prompts().runModal(*runMode_); });
    }
    // "Завершение работы" on the run-mode dialog allows the very close it answers.
    event->setAccepted(closingAllowed_);
    if (closingAllowed_) {
        QCoreApplication::quit();
    }
}

void TfmKvalor::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shownBefore_) {
        shownBefore_ = true;
        QTimer::singleShot(0, this, guard([this] { FormActivate(); }));
    }
}

bool TfmKvalor::eventFilter(QObject* watched, QEvent* event) {
    // Screenshots must not carry questions out of the program.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Print) {
        QGuiApplication::clipboard()->clear();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfmKvalor::actEditTestsExecute() {
    ShowWorkingWindow(QStringLiteral("TfmTestsEdit"));
}

void TfmKvalor::actEditUsersExecute() {
    ShowWorkingWindow(QStringLiteral("TfmCompetitors"));
}

void TfmKvalor::actTestExecute() {
    ShowWorkingWindow(QStringLiteral("TfmExamineSettings"));
}

void TfmKvalor::actConnectExecute() {
    dataModule().SetRunMode(TRunMode::None);
    prompts().runModal(*runMode_);
    if (dataModule().RunMode() == TRunMode::Testing) {
        actTestExecute();
    }
}

void TfmKvalor::actJournalExecute() {
    JournalAccess();
}

void TfmKvalor::actReloadExecute() {
    TDM& module = dataModule();
    // This computer's changes go first, so that an update loses none of them.
    if (module.DataLoaded()) {
        module.SaveDataFile();
    }
    module.ReloadFromServer();
}

void TfmKvalor::ShowServerState() {
    const ServerLink* link = dataModule().Link();
    statusBar()->setVisible(link != nullptr);
    lbServerState_->setText(link ? link->StateText() : QString());
    lbServerState_->setToolTip(link ? link->Failure() : QString());
}

void TfmKvalor::OfferReload() {
    const TRunMode mode = dataModule().RunMode();
    if (changedLists_.isEmpty() || reloadDeclined_ || offeringReload_ ||
        (mode != TRunMode::Administrator && mode != TRunMode::Teacher)) {
        return;
    }
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(1000, this, [this] { OfferReload(); });
        return;
    }
    // Notices that arrive while the question is open join this one offer.
    offeringReload_ = true;
    bool reload = false;
    guarded([this, &reload] {
        reload = NetworkRun::OfferReload(
            QStringLiteral("На другом компьютере сохранены изменения (%1)")
                .arg(changedLists_.join(QStringLiteral(", "))),
            QStringLiteral("работать дальше с данными, загруженными раньше; «Обновить с "
                           "сервера» в меню «Файл» загрузит новые позже."));
    });
    offeringReload_ = false;
    reloadDeclined_ = !reload;
    if (reload) {
        guarded([] { dataModule().ReloadFromServer(); });
    }
}

void TfmKvalor::actSettingExecute() {
    prompts().runModal(*setting_);
}

void TfmKvalor::actCloseExecute() {
    CloseAllWorkingWindows();
    // A working window that refused to close keeps the program running.
    const auto subWindows = mdiArea_->subWindowList();
    if (std::any_of(subWindows.begin(), subWindows.end(),
                    [](const QMdiSubWindow* sub) { return !sub->isHidden(); })) {
        return;
    }
    closingAllowed_ = true;
    close();
}

void TfmKvalor::actInportStudiesExecute() {
    const QStringList files = prompts().openFiles(QStringLiteral("Импорт результатов тестов"),
                                                  QStringLiteral("Файлы *.exd (*.exd)"), {});
    if (!files.isEmpty()) {
        CloseAllWorkingWindows();
        // Results whose user or test this data lacks are left out: the user is told how many.
        const StudiesImportReport report = [&files] {
            ProgressWindow progress(QStringLiteral("Импорт результатов тестов..."));
            return kvalorRoot().ImportStudies(files, progress.callback());
        }();
        prompts().inform(StudiesImportText(report), QStringLiteral("Импорт результатов тестов"),
                         QMessageBox::Information);
    }
    JournalAccess();
}

void TfmKvalor::JournalAccess() {
    TKvalor& root = kvalorRoot();
    TCompetitors& users = root.Users();
    root.SetCurrentUser(users.Applicant());
    bool loggedIn = false;
    const TRunMode mode = dataModule().RunMode();
    if (mode == TRunMode::Administrator) {
        root.SetCurrentUser(users.Administrator());
    } else if (mode == TRunMode::Teacher) {
        root.SetCurrentUser(users.Teacher());
    } else {
        authorization_->SetFixedList(false);
        authorization_->SetEntries(users.BuildAuthorizations());
        if (prompts().runModal(*authorization_) == QDialog::Accepted) {
            const TAuthorization* chosen = authorization_->selectedEntry();
            root.SetCurrentUser(chosen ? dynamic_cast<TCompetitor*>(users.FindItem(chosen->UserId))
                                       : nullptr);
            loggedIn = true;
        } else {
            root.SetCurrentUser(users.Applicant());
        }
    }
    // The anonymous testing account has no journal; nor has a run without any account.
    const TCompetitor* current = root.CurrentUser();
    if (!current || current->Id() == ApplicantAccountId()) {
        if (loggedIn) {
            throw KvalorError("Функция недоступна");
        }
        return;
    }
    ShowWorkingWindow(QStringLiteral("TfmJournal"));
}

}  // namespace kvalor
