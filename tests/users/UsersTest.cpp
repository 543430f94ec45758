#include "UsersTest.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeView>

#include "model/AccountMessages.h"
#include "support/GuiTest.h"
#include "support/TestRun.h"
#include "users/CompetitorEditor.h"
#include "users/CompetitorsModel.h"
#include "users/CompetitorsWindow.h"

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

TfmCompetitors& UsersTest::openUsers(TRunMode runMode) {
    TCompetitors& users = kvalorRoot().Users();
    kvalorRoot().SetCurrentUser(runMode == TRunMode::Teacher ? users.Teacher()
                                                             : users.Administrator());
    main_ = std::make_unique<TfmKvalor>();
    dataModule().SetRunMode(runMode);
    main_->show();
    processEvents();
    trigger(*main_, "actEditUsers");
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

TStudy& UsersTest::addStudy(TCompetitor& account) {
    TQuestions& tests = kvalorRoot().SimpleTests();
    TQuestions& test = tests.Count() > 0 ? *static_cast<TQuestions*>(tests.CollectionAt(0))
                                         : examtest::addTest(kGroupKindSimpleTest, "Тест", 10);
    TStudyList& journal = kvalorRoot().Studies();
    auto study = examtest::drawStudy(account, test);
    // A date of its own, so that a load keeps it apart from the others.
    study->SetDate(study->Date() + journal.Count());
    return journal.StudyAt(journal.Append(std::move(study)));
}

namespace {

void collectNodes(const QAbstractItemModel& model, const QModelIndex& parent,
                  QModelIndexList& nodes) {
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex node = model.index(row, 0, parent);
        nodes << node;
        collectNodes(model, node, nodes);
    }
}

QModelIndexList nodesOf(const TfmCompetitors& window) {
    QModelIndexList nodes;
    collectNodes(window.Model(), QModelIndex(), nodes);
    return nodes;
}

void typeCharacter(QWidget* target, QChar character) {
    pressKey(target, character == QLatin1Char(' ') ? Qt::Key_Space : Qt::Key_A, Qt::NoModifier,
             QString(character));
}

}  // namespace

QStringList treeLines(const TfmCompetitors& window) {
    QStringList lines;
    for (const QModelIndex& node : nodesOf(window)) {
        lines << (node.parent().isValid() ? "  " : "") + node.data().toString();
    }
    return lines;
}

QModelIndex nodeNamed(const TfmCompetitors& window, const QString& name) {
    for (const QModelIndex& node : nodesOf(window)) {
        if (node.data().toString() == name) {
            return node;
        }
    }
    ADD_FAILURE() << "no node " << name.toStdString();
    return {};
}

void clickNode(TfmCompetitors& window, const QModelIndex& node, Qt::KeyboardModifiers modifiers) {
    QTreeView* view = window.findChild<QTreeView*>("tvCompetitors");
    // Sent events neither activate the window nor move the focus, as a real click does.
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
    QTreeView* view = window.findChild<QTreeView*>("tvCompetitors");
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
