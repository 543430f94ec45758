#pragma once

#include <functional>

#include <QMainWindow>
#include <QString>
#include <QStringList>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QToolBar;

namespace kvalor {

class TfmAuthorization;
class TfmRunMode;
class TfmSetting;

// The frame of the program: it hosts the working windows (each kind at most once, found by
// its class name), carries the top-level actions and enables them from the run mode, sends a
// close request back to the run-mode dialog (only "Завершение работы" ends the program),
// imports results files and empties the clipboard on Print Screen. It owns the long-lived
// dialogs, created once with it and reused.
class TfmKvalor : public QMainWindow {
    Q_OBJECT
public:
    // Creates the working window of a class (its class name, without namespace, is the one it
    // is registered under); the main window hosts it.
    using WorkingWindowFactory = std::function<QWidget*(TfmKvalor&)>;
    // Brings an existing working window up to date each time it is shown again.
    using WorkingWindowRefresh = std::function<void(QWidget&)>;

    // Makes a working window class known to every main window; registering a class again
    // replaces its factory. The windows of the program register at start-up, before use.
    static void registerWorkingWindow(const QString& className, WorkingWindowFactory factory,
                                      WorkingWindowRefresh refresh = {});

    TfmKvalor();
    ~TfmKvalor() override;

    QAction* actSetting() const { return actSetting_; }
    QAction* actClose() const { return actClose_; }
    QMdiArea* mdiArea() const { return mdiArea_; }

    TfmAuthorization& AuthorizationDialog() const { return *authorization_; }
    TfmSetting& SettingDialog() const { return *setting_; }

    bool ClosingAllowed() const { return closingAllowed_; }

    // Whether a working window of the class (compared without regard to letter case) is hosted.
    bool IsHosted(const QString& className) const;
    // The first hosted working window of the class, or nullptr.
    QWidget* FindHosted(const QString& className) const;
    // Restores the first hosted window of the class if it is minimised and brings it to the
    // front.
    void ActivateHosted(const QString& className);
    // Hosts a working window created elsewhere (the journal opens the results view itself);
    // it frees itself when it is closed.
    QMdiSubWindow* HostWorkingWindow(QWidget* window);
    // Creates the working window of the class unless one is hosted, brings it up to date and
    // to the front. Returns it; nullptr for a class that nobody registered.
    QWidget* ShowWorkingWindow(const QString& className);
    // Asks every hosted working window to close, in the order they were opened.
    void CloseAllWorkingWindows();

    // Enables the actions from the run mode. Runs by itself whenever the run mode changes.
    void updateActions();

    // Each time the user comes back to the program: without a run mode the run-mode dialog is
    // shown (unless it is already on screen), and a choice of testing opens the examination.
    void FormActivate();
    // Answers a second start of the program: the dialog the user works in, or this window,
    // comes to the front.
    void BringToFront();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolBar();
    // Restores the hosted window if it is minimised and makes it the front one.
    void BringForward(QWidget& window);

    void actEditTestsExecute();
    void actEditUsersExecute();
    void actTestExecute();
    void actConnectExecute();
    void actJournalExecute();
    void actSettingExecute();
    void actCloseExecute();
    void actInportStudiesExecute();
    // The network mode: saves this computer's changes, then loads what every seat saved.
    void actReloadExecute();
    // Decides who looks at the journal (a login outside administration) and opens it.
    void JournalAccess();
    // The network mode: the server's state in the status bar.
    void ShowServerState();
    // Another computer saved lists that this one shows: staff are asked once whether to load
    // them, never an applicant during an examination, never under another dialog.
    void OfferReload();

    QMdiArea* mdiArea_;
    QToolBar* tbMainMenu_ = nullptr;
    QAction* actEditTests_;
    QAction* actEditUsers_;
    QAction* actTest_;
    QAction* actConnect_;
    QAction* actJournal_;
    QAction* actSetting_;
    QAction* actClose_;
    QAction* actInportStudies_;
    QAction* actReload_;
    bool closingAllowed_ = false;
    // The working windows to open again once the data are replaced.
    QStringList reopened_;
    QLabel* lbServerState_;
    // The lists saved elsewhere since the load, until a reload or the offer is declined.
    QStringList changedLists_;
    bool reloadDeclined_ = false;
    bool offeringReload_ = false;
    bool shownBefore_ = false;
    TfmAuthorization* authorization_;
    TfmRunMode* runMode_;
    TfmSetting* setting_;
};

}  // namespace kvalor
