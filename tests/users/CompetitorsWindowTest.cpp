#include <optional>
#include <vector>

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTreeView>
#include <QtTest/QTest>

#include "UsersTest.h"
#include "model/BuiltinAccounts.h"
#include "model/Kvalor.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "support/GuiTest.h"
#include "users/CompetitorEditor.h"
#include "users/CompetitorsModel.h"
#include "users/CompetitorsWindow.h"
#include "util/Codepage.h"

namespace kvalor::userstest {
namespace {

const QString kAdministrator = QStringLiteral("Администратор");
const QString kTeacher = QStringLiteral("Преподаватель");

QString deleteQuestion(const QString& name) {
    return QStringLiteral("Вы действительно хотите удалить %1").arg(name);
}

TCompetitor* accountNamed(const QString& name) {
    for (TCompetitor* account : kvalorRoot().Users().SortedAccounts()) {
        if (fromCp1251(account->GetName()) == name) {
            return account;
        }
    }
    return nullptr;
}

class CompetitorsWindowTest : public UsersTest {
protected:
    // "9 Б" with Петров and Андреев, an empty "10 А", Яковлев at the top level; two studies of
    // Петров, one each of Андреев and Яковлев.
    void buildClass() {
        kvalorRoot().Clear();
        kvalorRoot().Users().EnsureBuiltins();
        TCompetitors& nine = addGroup("9 Б");
        addStudy(addAccount("Петров", &nine, "Москва"));
        addStudy(*accountNamed("Петров"));
        addStudy(addAccount("Андреев", &nine));
        addGroup("10 А");
        addStudy(addAccount("Яковлев", nullptr, "Тула"));
    }

    const QStringList classLines{kAdministrator, kTeacher, "9 Б",    "  Петров",
                                 "  Андреев",    "10 А",   "Яковлев"};
};

TEST_F(CompetitorsWindowTest, TreeShowsTheListButNeverTheBuiltInApplicant) {
    buildClass();
    // A file may hold the applicant inside a group; it stays hidden there too.
    TCompetitors& ten = *static_cast<TCompetitors*>(kvalorRoot().Users().CollectionAt(4));
    ten.AddItem(kvalorRoot().Users().Extract(*kvalorRoot().Users().Applicant()));

    TfmCompetitors& window = openUsers();
    EXPECT_EQ(window.windowTitle(), "Соискатели");
    EXPECT_EQ(treeLines(window), classLines);

    const TCompetitorsModel& model = window.Model();
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Имя");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "");
    const QModelIndex petrov = nodeNamed(window, "Петров");
    const QModelIndex group = nodeNamed(window, "9 Б");
    EXPECT_EQ(petrov.siblingAtColumn(1).data().toString(), "Москва");
    EXPECT_EQ(group.siblingAtColumn(1).data().toString(), "");
    EXPECT_EQ(petrov.siblingAtColumn(1).data(Qt::TextAlignmentRole).toInt(), Qt::AlignCenter);
    EXPECT_TRUE(group.data(Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(petrov.data(Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(petrov.data(Qt::ForegroundRole).value<QColor>(),
              QApplication::palette().color(QPalette::WindowText));

    // The texts are read from the accounts, so a change shows at once.
    accountNamed("Петров")->SetField(9, toCp1251("Тверь"));
    EXPECT_EQ(petrov.siblingAtColumn(1).data().toString(), "Тверь");
}

TEST_F(CompetitorsWindowTest, DeletionAsksForWhatHasContentAndTakesTheResultsAlong) {
    struct Case {
        const char* focus;
        const char* alsoSelected;  // selected before the focused node, or nullptr
        bool enabled;
        std::optional<QMessageBox::StandardButton> answer;
        QStringList linesAfter;
        int studiesAfter;
    };
    const std::vector<Case> cases{
        {"Администратор", nullptr, false, std::nullopt, classLines, 4},
        // The teacher can be focused; deleting does nothing and asks nothing.
        {"Преподаватель", nullptr, true, std::nullopt, classLines, 4},
        {"10 А", nullptr, true, std::nullopt,
         QStringList{kAdministrator, kTeacher, "9 Б", "  Петров", "  Андреев", "Яковлев"}, 4},
        {"9 Б", nullptr, true, QMessageBox::Yes,
         QStringList{kAdministrator, kTeacher, "10 А", "Яковлев"}, 1},
        {"9 Б", nullptr, true, QMessageBox::No, classLines, 4},
        {"Петров", nullptr, true, QMessageBox::Yes,
         QStringList{kAdministrator, kTeacher, "9 Б", "  Андреев", "10 А", "Яковлев"}, 2},
        {"Яковлев", nullptr, true, QMessageBox::No, classLines, 4},
        // Only the focused node goes, whatever else is selected.
        {"Яковлев", "Андреев", true, QMessageBox::Yes,
         QStringList{kAdministrator, kTeacher, "9 Б", "  Петров", "  Андреев", "10 А"}, 3},
    };
    buildClass();
    TfmCompetitors& window = openUsers();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.focus);
        buildClass();
        window.FormShow();
        if (c.alsoSelected) {
            clickNode(window, nodeNamed(window, c.alsoSelected));
        }
        clickNode(window, nodeNamed(window, c.focus),
                  c.alsoSelected ? Qt::ControlModifier : Qt::NoModifier);
        ASSERT_EQ(window.actDelete()->isEnabled(), c.enabled);
        if (c.answer) {
            prompts_.expectAsk(deleteQuestion(c.focus), *c.answer)
                .caption("Предупреждение")
                .icon(QMessageBox::Warning)
                .buttons(QMessageBox::Yes | QMessageBox::No);
        }
        if (c.enabled) {
            // The keyboard's Delete does what the toolbar button does.
            QTest::keyClick(window.tvCompetitors(), Qt::Key_Delete);
            processEvents();
        }
        ASSERT_TRUE(prompts_.finished());
        EXPECT_EQ(treeLines(window), c.linesAfter);
        EXPECT_EQ(kvalorRoot().Studies().Count(), c.studiesAfter);
        // The list holds exactly the accounts the tree shows (and the hidden applicant).
        const auto groupLines = c.linesAfter.count("9 Б") + c.linesAfter.count("10 А");
        EXPECT_EQ(kvalorRoot().Users().SortedAccounts().size(),
                  static_cast<std::size_t>(c.linesAfter.size() - groupLines + 1));
        for (int i = 0; i < kvalorRoot().Studies().Count(); ++i) {
            EXPECT_NE(kvalorRoot().Studies().StudyAt(i).User(), nullptr);
        }
    }

    // A file may put the built-in teacher into a group: deleting the group keeps the teacher,
    // logged in or not, with its results, at its place in the list.
    buildClass();
    TCompetitors& users = kvalorRoot().Users();
    TCompetitor& teacher = *users.Teacher();
    addStudy(teacher);
    kvalorRoot().SetCurrentUser(&teacher);
    static_cast<TCompetitors*>(users.CollectionAt(3))->AddItem(users.Extract(teacher));
    window.FormShow();
    clickNode(window, nodeNamed(window, "9 Б"));
    prompts_.expectAsk(deleteQuestion("9 Б"), QMessageBox::Yes);
    trigger(window.actDelete());
    EXPECT_EQ(treeLines(window), (QStringList{kAdministrator, kTeacher, "10 А", "Яковлев"}));
    EXPECT_EQ(users.Teacher(), &teacher);
    EXPECT_EQ(kvalorRoot().CurrentUser(), &teacher);
    EXPECT_EQ(studiesOf(&teacher), 1);
    EXPECT_EQ(kvalorRoot().Studies().Count(), 2);
}

TEST_F(CompetitorsWindowTest, NewAccountLandsInTheFocusedGroupOrAtTheTopLevel) {
    struct Case {
        const char* focus;  // nullptr: nothing focused yet
        bool saved;
        QStringList linesAfter;
        const char* group;  // the group the account is in afterwards; nullptr for the top level
    };
    const std::vector<Case> cases{
        {"9 Б", true,
         QStringList{kAdministrator, kTeacher, "9 Б", "  Петров", "  Андреев", "  Сидоров С.",
                     "10 А", "Яковлев"},
         "9 Б"},
        {"10 А", true,
         QStringList{kAdministrator, kTeacher, "9 Б", "  Петров", "  Андреев", "10 А",
                     "  Сидоров С.", "Яковлев"},
         "10 А"},
        // An account focused inside a group does not make its group the target.
        {"Петров", true, classLines + QStringList{"Сидоров С."}, nullptr},
        {"Яковлев", true, classLines + QStringList{"Сидоров С."}, nullptr},
        {nullptr, true, classLines + QStringList{"Сидоров С."}, nullptr},
        // Closed without saving: the account never existed.
        {"9 Б", false, classLines, nullptr},
    };
    buildClass();
    TfmCompetitors& window = openUsers();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.focus ? c.focus : "nothing focused");
        buildClass();
        window.FormShow();
        const std::size_t accountsBefore = kvalorRoot().Users().SortedAccounts().size();
        if (c.focus) {
            clickNode(window, nodeNamed(window, c.focus));
        }
        prompts_.expectModal<TfmCompetitorEdit>([&c](TfmCompetitorEdit& editor) {
            EXPECT_EQ(editor.windowTitle(), "Соискатель ");
            EXPECT_FALSE(editor.btnSave()->isEnabled());
            typeText(editor.edLastName(), "Сидоров");
            typeText(editor.edFirstName(), "Семён");
            if (c.saved) {
                click(editor.btnSave());
                EXPECT_EQ(editor.windowTitle(), "Соискатель Сидоров С.");
            }
            click(editor.btnClose());
        });
        // Insert in the tree, or the toolbar's "Соискателя".
        if (c.focus) {
            QTest::keyClick(window.tvCompetitors(), Qt::Key_Insert);
            processEvents();
        } else {
            trigger(window.actAddCompetitor());
        }
        ASSERT_TRUE(prompts_.finished());
        EXPECT_EQ(treeLines(window), c.linesAfter);
        TCompetitor* added = accountNamed("Сидоров С.");
        EXPECT_EQ(kvalorRoot().Users().SortedAccounts().size(), accountsBefore + (c.saved ? 1 : 0));
        if (!c.saved) {
            EXPECT_EQ(added, nullptr);
            continue;
        }
        ASSERT_NE(added, nullptr);
        EXPECT_FALSE(added->Id().isNull());
        EXPECT_EQ(fromCp1251(added->Parent()->GetName()), c.group ? c.group : "");
        EXPECT_EQ(window.Model().ItemAt(window.tvCompetitors()->currentIndex()), added);
        EXPECT_EQ(editor().Account(), nullptr);
    }
}

TEST_F(CompetitorsWindowTest, GroupsAreAddedAndRenamedButNeverBlank) {
    TfmCompetitors& window = openUsers();
    QTreeView* tree = window.tvCompetitors();
    tree->setFocus();

    // Blank or cancelled: nothing.
    prompts_.expectInputBox("Наименование группы", "   ").prompt("Наименование").value("");
    prompts_.expectInputBox("Наименование группы", std::nullopt);
    trigger(window.actAddGroup());
    trigger(window.actAddGroup());
    EXPECT_EQ(treeLines(window), (QStringList{kAdministrator, kTeacher}));

    prompts_.expectInputBox("Наименование группы", " 11 В ");
    QTest::keyClick(tree, Qt::Key_Insert, Qt::ControlModifier);
    prompts_.expectInputBox("Наименование группы", "11 Г");
    QTest::keyClick(tree, Qt::Key_Insert, Qt::ControlModifier);
    processEvents();
    ASSERT_TRUE(prompts_.finished());
    // Kept as typed, appended at the top level, the new one focused.
    EXPECT_EQ(treeLines(window), (QStringList{kAdministrator, kTeacher, " 11 В ", "11 Г"}));
    TCompetitors& users = kvalorRoot().Users();
    auto* first = dynamic_cast<TCompetitors*>(users.CollectionAt(3));
    auto* second = dynamic_cast<TCompetitors*>(users.CollectionAt(4));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(window.Model().ItemAt(tree->currentIndex()), second);
    // Each has an id of its own at once, so other windows can tell them apart.
    EXPECT_FALSE(first->Id().isNull());
    EXPECT_NE(first->Id(), second->Id());

    clickNode(window, nodeNamed(window, " 11 В "));
    prompts_.expectInputBox("Наименование группы пользователей", "11 Д")
        .prompt("Наименование")
        .value(" 11 В ");
    QTest::keyClick(tree, Qt::Key_F2);
    processEvents();
    prompts_.expectInputBox("Наименование группы пользователей", " ");
    trigger(window.actEdit());
    // Enter, or a double click, edits the focused node too.
    prompts_.expectInputBox("Наименование группы пользователей", std::nullopt);
    QTest::keyClick(tree, Qt::Key_Return);
    processEvents();
    ASSERT_TRUE(prompts_.finished());
    EXPECT_EQ(treeLines(window), (QStringList{kAdministrator, kTeacher, "11 Д", "11 Г"}));
    EXPECT_EQ(fromCp1251(first->GetName()), "11 Д");
}

TEST_F(CompetitorsWindowTest, DraggingAccountsMovesThemAndSortsTheList) {
    struct Case {
        QStringList selection;  // clicked in this order, Ctrl held from the second on
        const char* target;
        bool accepted;
        QStringList linesAfter;
        bool nineExpanded;  // opened to click Петров, or to show the first dragged node again
    };
    const QStringList sorted{kAdministrator, kTeacher,    "Борисов", "Яковлев",
                             "10 А",         "  Фёдоров", "9 Б",     "  Петров"};
    const std::vector<Case> cases{
        {{"Яковлев", "Борисов"},
         "9 Б",
         true,
         QStringList{kAdministrator, kTeacher, "10 А", "  Фёдоров", "9 Б", "  Борисов", "  Петров",
                     "  Яковлев"},
         true},
        {{"Яковлев", "Борисов"},
         "Фёдоров",
         true,
         QStringList{kAdministrator, kTeacher, "10 А", "  Борисов", "  Фёдоров", "  Яковлев", "9 Б",
                     "  Петров"},
         false},
        {{"Петров"},
         "Борисов",
         true,
         QStringList{kAdministrator, kTeacher, "Борисов", "Петров", "Яковлев", "10 А", "  Фёдоров",
                     "9 Б"},
         true},
        // The built-in teacher stays where it is; the account beside it moves.
        {{"Преподаватель", "Яковлев"},
         "9 Б",
         true,
         QStringList{kAdministrator, kTeacher, "Борисов", "10 А", "  Фёдоров", "9 Б", "  Петров",
                     "  Яковлев"},
         false},
        // A group alone may be dragged, and changes nothing.
        {{"10 А"}, "Яковлев", true, sorted, false},
        // A group among several nodes may not.
        {{"9 Б", "Яковлев"}, "10 А", false, sorted, false},
    };
    openUsers();
    TfmCompetitors& window = usersWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selection.join(", ").toStdString() + " onto " + c.target);
        kvalorRoot().Clear();
        TCompetitors& users = kvalorRoot().Users();
        users.EnsureBuiltins();
        TCompetitors& nine = addGroup("9 Б");
        TCompetitors& ten = addGroup("10 А");
        TCompetitor& petrov = addAccount("Петров", &nine);
        addAccount("Фёдоров", &ten);
        addAccount("Яковлев");
        addAccount("Борисов");
        const Guid petrovId = petrov.Id();
        TStudy& study = addStudy(petrov);
        users.Sort();
        window.FormShow();
        ASSERT_EQ(treeLines(window), sorted);
        window.tvCompetitors()->expand(nodeNamed(window, "10 А"));

        for (int i = 0; i < c.selection.size(); ++i) {
            clickNode(window, nodeNamed(window, c.selection[i]),
                      i == 0 ? Qt::NoModifier : Qt::ControlModifier);
        }
        EXPECT_EQ(dropSelectionOn(window, nodeNamed(window, c.target)), c.accepted);
        EXPECT_EQ(treeLines(window), c.linesAfter);

        // The same objects with the same ids: the results stay with their accounts.
        EXPECT_EQ(accountNamed("Петров"), &petrov);
        EXPECT_EQ(petrov.Id(), petrovId);
        EXPECT_EQ(study.User(), &petrov);
        // Expanded as before, and the first dragged node selected again (a refused drop
        // leaves the focus on the last one clicked).
        QTreeView* tree = window.tvCompetitors();
        EXPECT_TRUE(tree->isExpanded(nodeNamed(window, "10 А")));
        EXPECT_EQ(tree->isExpanded(nodeNamed(window, "9 Б")), c.nineExpanded);
        EXPECT_EQ(tree->currentIndex().data().toString(),
                  c.accepted ? c.selection.front() : c.selection.back());
    }
}

TEST_F(CompetitorsWindowTest, ImportKeepsTheAdministratorAndLinksTheResultsAgain) {
    TCompetitors& users = kvalorRoot().Users();
    TCompetitor& administrator = *users.Administrator();
    TCompetitors& nine = addGroup("9 Б");
    TCompetitor& petrov = addAccount("Петров", &nine, "Москва");
    petrov.SetPassword(toCp1251("п1"));
    const Guid petrovId = petrov.Id();
    TStudy& petrovStudy = addStudy(petrov);
    TfmCompetitors& window = openUsers();

    const QString file = folderFile("9 Б.exd");
    prompts_.expectSaveFile(file).filter("Данные Квалор (*.exd)");
    trigger(window.actCompetitorsSaveToFile());
    ASSERT_TRUE(prompts_.finished());
    EXPECT_EQ(prompts_.seen().back().defaultSuffix, "exd");

    // Meanwhile an account with a result of its own, and another administrator password.
    TStudy& laterStudy = addStudy(addAccount("Яковлев"));
    administrator.SetPassword(toCp1251("новый"));
    window.FormShow();
    prompts_.expectOpenFiles({file}).filter("Данные Квалор (*.exd)");
    trigger(window.actCompetitorsLoadFromFile());
    ASSERT_TRUE(prompts_.finished());

    EXPECT_EQ(treeLines(window), (QStringList{kAdministrator, kTeacher, "9 Б", "  Петров"}));
    EXPECT_EQ(users.Administrator(), &administrator);
    EXPECT_EQ(administrator.Password(), toCp1251("новый"));
    EXPECT_EQ(kvalorRoot().CurrentUser(), &administrator);
    TCompetitor* imported = accountNamed("Петров");
    ASSERT_NE(imported, nullptr);
    EXPECT_EQ(imported->Id(), petrovId);
    EXPECT_EQ(imported->Password(), toCp1251("п1"));
    EXPECT_EQ(petrovStudy.User(), imported);
    EXPECT_EQ(laterStudy.User(), nullptr);
}

TEST_F(CompetitorsWindowTest, AFailedImportOrSaveLeavesListTreeAndFilesAsTheyWere) {
    const QString damaged = folderFile("damaged.exd");
    {
        QFile out(damaged);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("not a compound file");
    }
    // A results file is a compound file without users.
    const QString results = folderFile("results.exd");
    kvalorRoot().Studies().SaveToFile(results);
    // Read at start; then a folder takes its name, so that it cannot be replaced.
    kvalorRoot().SaveToFile(programFile(kDataFileName));
    dataModule().DataModuleCreate();
    ASSERT_TRUE(dataModule().DataLoaded());
    ASSERT_TRUE(QFile::remove(programFile(kDataFileName)));
    ASSERT_TRUE(QDir(folder_.path()).mkdir(kDataFileName));

    buildClass();
    TfmCompetitors& window = openUsers();
    window.tvCompetitors()->expand(nodeNamed(window, "9 Б"));
    const std::vector<TCompetitor*> accounts = kvalorRoot().Users().SortedAccounts();
    const auto unchanged = [&] {
        EXPECT_EQ(treeLines(window), classLines);
        EXPECT_TRUE(window.tvCompetitors()->isExpanded(nodeNamed(window, "9 Б")));
        EXPECT_EQ(kvalorRoot().Users().SortedAccounts(), accounts);
        EXPECT_EQ(kvalorRoot().Studies().Count(), 4);
        ASSERT_TRUE(prompts_.finished());
    };

    prompts_.expectOpenFiles({damaged});
    prompts_.expectError("Ошибка чтения $800300FB.");
    trigger(window.actCompetitorsLoadFromFile());
    unchanged();
    const QString missing = folderFile("нет.exd");
    prompts_.expectOpenFiles({missing});
    prompts_.expectError(QStringLiteral("Файл %1 не найден.").arg(missing));
    trigger(window.actCompetitorsLoadFromFile());
    unchanged();
    prompts_.expectOpenFiles({results});
    prompts_.expectError("Ошибка чтения Competitors.");
    trigger(window.actCompetitorsLoadFromFile());
    unchanged();

    prompts_.expectSaveFile(folderFile("нет/класс.exd"));
    prompts_.expectError("Ошибка записи $80030003.");
    trigger(window.actCompetitorsSaveToFile());
    unchanged();
    prompts_.expectError("Ошибка записи $80030005.");
    clickNode(window, nodeNamed(window, "Яковлев"));
    QTest::keyClick(window.tvCompetitors(), Qt::Key_S, Qt::ControlModifier);
    processEvents();
    unchanged();
    EXPECT_TRUE(QFileInfo(programFile(kDataFileName)).isDir());

    QFile out(damaged);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), "not a compound file");
}

// "Сохранить" writes the data file only when it was read at start, as the end of the run does.
TEST_F(CompetitorsWindowTest, SaveNeverReplacesADataFileThatFailedToLoad) {
    const QString dataFile = programFile(kDataFileName);
    const QString refused =
        "База данных не была прочитана при запуске программы. Сохранение невозможно.";
    struct Case {
        const char* what;
        std::optional<QByteArray> fileBefore;  // nullopt: a good data file; empty: none
    };
    const std::vector<Case> cases{
        {"no data file", QByteArray()},
        {"a damaged data file", QByteArray("not a compound file")},
        {"a good data file", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(dataFile);
        kvalorRoot().Clear();
        kvalorRoot().Users().EnsureBuiltins();
        if (!c.fileBefore) {
            kvalorRoot().SaveToFile(dataFile);
        } else if (!c.fileBefore->isEmpty()) {
            QFile out(dataFile);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(*c.fileBefore);
        }
        if (c.fileBefore) {
            prompts_
                .expectInform(c.fileBefore->isEmpty()
                                  ? QStringLiteral("Файл %1 не найден").arg(dataFile)
                                  : QStringLiteral("Ошибка чтения $800300FB"))
                .caption("Ошибка чтения базы");
        }
        dataModule().DataModuleCreate();
        kvalorRoot().Users().EnsureBuiltins();
        TfmCompetitors& window = openUsers();
        addAccount("Новиков");
        if (c.fileBefore) {
            prompts_.expectError(refused);
        }
        trigger(window.actSaveToFile());
        ASSERT_TRUE(prompts_.finished());

        if (c.fileBefore) {
            QFile in(dataFile);
            EXPECT_EQ(in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray(), *c.fileBefore);
            continue;
        }
        kvalorRoot().Clear();
        kvalorRoot().LoadFromFile(dataFile, true);
        EXPECT_NE(accountNamed("Новиков"), nullptr);
    }
}

}  // namespace
}  // namespace kvalor::userstest
