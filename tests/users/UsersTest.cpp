#include "UsersTest.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeView>

#include "model/AccountMessages.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TypeIds.h"
#include "support/GuiTest.h"
#include "support/TestRun.h"
#include "users/CompetitorEditor.h"
#include "users/CompetitorsModel.h"
#include "users/CompetitorsWindow.h"
#include "util/Codepage.h"

namespace kvalor::userstest {

void UsersTest::SetUp() {
    ASSERT_TRUE(folder_.isValid());
    startTestRun(folder_.path());
    registerCompetitors();
}

void UsersTest::TearDown() {
    setAccountMessageHandler({});
    main_.reset();
    endTestRun();
}

TfmCompetitors& UsersTest::openUsers(std::uint8_t runMode) {
    TCompetitors& users = kvalorRoot().Users();
    kvalorRoot().SetCurrentUser(runMode == kRunModeTeacher ? users.Teacher()
                                                           : users.Administrator());
    main_ = std::make_unique<TfmKvalor>();
    dataModule().SetRunMode(runMode);
    main_->show();
    processEvents();
    trigger(main_->actEditUsers());
    return usersWindow();
}

TfmCompetitors& UsersTest::usersWindow() const {
    auto* window = qobject_cast<TfmCompetitors*>(main_->FindHosted("TfmCompetitors"));
    EXPECT_NE(window, nullptr);
    return *window;
}

TfmCompetitorEdit& UsersTest::editor() const {
    return competitorEditor(*main_);
}

TCompetitors& UsersTest::addGroup(const QString& name) {
    auto group = std::make_unique<TCompetitors>();
    group->SetName(toCp1251(name));
    group->NewId();
    TCompetitors& result = *group;
    kvalorRoot().Users().AddCollection(std::move(group));
    return result;
}

TCompetitor& UsersTest::addAccount(const QString& name, TCompetitors* group, const QString& town) {
    auto account = std::make_unique<TCompetitor>();
    account->SetName(toCp1251(name));
    account->SetField(1, toCp1251(name));
    account->SetField(9, toCp1251(town));
    TCompetitor& result = *account;
    TCompetitors& target = group ? *group : kvalorRoot().Users();
    EXPECT_GE(target.AddCompetitor(std::move(account), true), 0);
    return result;
}

TStudy& UsersTest::addStudy(TCompetitor& account) {
    TQuestions& tests = kvalorRoot().SimpleTests();
    if (tests.Count() == 0) {
        auto test = std::make_unique<TQuestions>(kGroupKindSimpleTest);
        test->SetName(toCp1251(QStringLiteral("Арифметика")));
        tests.AddCollection(std::move(test));
    }
    auto* test = static_cast<TQuestions*>(tests.CollectionAt(0));
    TStudyList& journal = kvalorRoot().Studies();
    const int index = journal.Append(
        TStudyList::NewStudy(kModeTesting, account, *test, 45000.0 + journal.Count()));
    return journal.StudyAt(index);
}

int UsersTest::studiesOf(const TCompetitor* account) {
    int count = 0;
    const TStudyList& journal = kvalorRoot().Studies();
    for (int i = 0; i < journal.Count(); ++i) {
        count += journal.StudyAt(i).User() == account ? 1 : 0;
    }
    return count;
}

namespace {

void addLines(const TCompetitorsModel& model, const QModelIndex& parent, const QString& indent,
              QStringList& lines) {
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex node = model.index(row, 0, parent);
        lines << indent + node.data().toString();
        addLines(model, node, indent + QStringLiteral("  "), lines);
    }
}

QModelIndex findNamed(const TCompetitorsModel& model, const QModelIndex& parent,
                      const QString& name) {
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex node = model.index(row, 0, parent);
        if (node.data().toString() == name) {
            return node;
        }
        if (const QModelIndex found = findNamed(model, node, name); found.isValid()) {
            return found;
        }
    }
    return {};
}

}  // namespace

QStringList treeLines(const TfmCompetitors& window) {
    QStringList lines;
    addLines(window.Model(), QModelIndex(), QString(), lines);
    return lines;
}

QModelIndex nodeNamed(const TfmCompetitors& window, const QString& name) {
    const QModelIndex node = findNamed(window.Model(), QModelIndex(), name);
    EXPECT_TRUE(node.isValid()) << "no node " << name.toStdString();
    return node;
}

void clickNode(TfmCompetitors& window, const QModelIndex& node, Qt::KeyboardModifiers modifiers) {
    QTreeView* view = window.tvCompetitors();
    // A click brings the window to the front and the keyboard to the tree (sent events do
    // neither by themselves).
    view->window()->activateWindow();
    view->setFocus(Qt::MouseFocusReason);
    view->scrollTo(node);
    processEvents();
    const QPointF local = view->visualRect(node).center();
    const QPointF global = view->viewport()->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      modifiers);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        modifiers);
    QApplication::sendEvent(view->viewport(), &press);
    QApplication::sendEvent(view->viewport(), &release);
    processEvents();
}

bool dropSelectionOn(TfmCompetitors& window, const QModelIndex& target) {
    QTreeView* view = window.tvCompetitors();
    view->scrollTo(target);
    processEvents();
    const std::unique_ptr<QMimeData> data(
        view->model()->mimeData(view->selectionModel()->selectedRows()));
    const QPoint pos = view->visualRect(target).center();
    QDragEnterEvent enter(pos, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    QDragMoveEvent move(pos, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QDropEvent drop(QPointF(pos), Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    processEvents();
    return move.isAccepted() && drop.isAccepted();
}

namespace {

void typeCharacter(QWidget* target, QChar character) {
    pressKey(target, character == QLatin1Char(' ') ? Qt::Key_Space : Qt::Key_A, Qt::NoModifier,
             QString(character));
}

}  // namespace

void typeText(QWidget* target, const QString& text) {
    for (const QChar character : text) {
        typeCharacter(target, character);
    }
}

void typeKeys(const QString& text) {
    for (const QChar character : text) {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr) << "nothing has the focus";
        typeCharacter(focused, character);
    }
}

}  // namespace kvalor::userstest
