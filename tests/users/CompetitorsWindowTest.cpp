#include <optional>
#include <vector>

#include <gtest/gtest.h>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest/QTest>

#include "UsersTest.h"
#include "storage/RecoveryFile.h"
#include "support/GuiTest.h"
#include "users/CompetitorEditor.h"
#include "users/CompetitorsModel.h"
#include "users/CompetitorsWindow.h"

namespace kvalor::userstest {
namespace {

const QString kAdmin = "Администратор";
const QString kTeacher = "Преподаватель";

TCompetitor* accountNamed(const QString& name) {
    for (TCompetitor* account : kvalorRoot().Users().SortedAccounts()) {
        if (examtest::text(account->GetName()) == name) {
            return account;
        }
    }
    return nullptr;
}

class CompetitorsWindowTest : public UsersTest {
protected:
    // "9 Б": Петров (Москва, two studies) and Андреев (one); an empty "10 А"; Яковлев (one).
    void buildClass() {
        kvalorRoot().Clear();
        TCompetitors& users = kvalorRoot().Users();
        users.EnsureBuiltins();
        TCompetitors& nine = addUsersGroup(users, "9 Б");
        TCompetitor& petrov = addApplicant("Петров", {}, &nine);
        petrov.SetField(9, toCp1251("Москва"));
        addStudy(petrov);
        addStudy(petrov);
        addStudy(addApplicant("Андреев", {}, &nine));
        addUsersGroup(users, "10 А");
        addStudy(addApplicant("Яковлев"));
    }

    // Accounts before groups, by name, digits read as numbers; the list keeps its order.
    const QStringList classLines{kAdmin,      kTeacher,   "Яковлев", "9 Б",
                                 "  Андреев", "  Петров", "10 А"};
};

TEST_F(CompetitorsWindowTest, TreeAndDeletionWithTheResults) {
    buildClass();
    // A file may hold the built-in applicant inside a group; it is never shown.
    TCompetitors& users = kvalorRoot().Users();
    static_cast<TCompetitors*>(users.CollectionAt(4))->AddItem(users.Extract(*users.Applicant()));
    TfmCompetitors& window = openUsers();
    EXPECT_EQ(treeLines(window), classLines);
    EXPECT_TRUE(nodeNamed(window, "9 Б").data(Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(nodeNamed(window, "Петров").data(Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(nodeNamed(window, "Петров").siblingAtColumn(1).data().toString(), "Москва");

    struct Case {
        const char* focus;
        const char* selectedBefore;
        bool enabled;
        std::optional<QMessageBox::StandardButton> answer;
        QString question;
        QStringList linesAfter;
        int studiesAfter;
    };
    const QStringList withoutYakovlev = classLines.mid(0, 2) + classLines.mid(3);
    const QString nine =
        "Вы действительно хотите удалить 9 Б\nВместе с группой будут удалены "
        "соискатели: 2, их результаты тестирования: 3.";
    const QString yakovlev =
        "Вы действительно хотите удалить Яковлев\nВместе с соискателем "
        "будут удалены его результаты тестирования: 1.";
    const std::vector<Case> cases{
        {"Администратор", nullptr, false, std::nullopt, {}, classLines, 4},
        {"Преподаватель", nullptr, true, std::nullopt, {}, classLines, 4},
        {"10 А", nullptr, true, std::nullopt, {}, classLines.mid(0, 6), 4},
        {"9 Б", nullptr, true, QMessageBox::Yes, nine, {kAdmin, kTeacher, "Яковлев", "10 А"}, 1},
        {"Яковлев", nullptr, true, QMessageBox::No, yakovlev, classLines, 4},
        // Only the focused node goes, whatever else is selected.
        {"Яковлев", "Андреев", true, QMessageBox::Yes, yakovlev, withoutYakovlev, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.focus);
        buildClass();
        window.FormShow();
        if (c.selectedBefore) {
            clickNode(window, nodeNamed(window, c.selectedBefore));
        }
        clickNode(window, nodeNamed(window, c.focus),
                  c.selectedBefore ? Qt::ControlModifier : Qt::NoModifier);
        ASSERT_EQ(window.findChild<QAction*>("actDelete")->isEnabled(), c.enabled);
        if (c.answer) {
            prompts_.expectAsk(c.question, *c.answer)
                .caption("Предупреждение")
                .icon(QMessageBox::Warning)
                .defaultButton(QMessageBox::No);
        }
        QTest::keyClick(window.findChild<QTreeView*>("tvCompetitors"), Qt::Key_Delete);
        processEvents();
        ASSERT_TRUE(prompts_.finished());
        EXPECT_EQ(treeLines(window), c.linesAfter);
        EXPECT_EQ(kvalorRoot().Studies().Count(), c.studiesAfter);
        // The list itself, shown anew.
        window.FormShow();
        EXPECT_EQ(treeLines(window), c.linesAfter);
    }

    // A group of a file may hold the built-in teacher: it stays, logged in, with its result.
    buildClass();
    TCompetitor& teacher = *users.Teacher();
    addStudy(teacher);
    kvalorRoot().SetCurrentUser(&teacher);
    static_cast<TCompetitors*>(users.CollectionAt(3))->AddItem(users.Extract(teacher));
    window.FormShow();
    clickNode(window, nodeNamed(window, "9 Б"));
    prompts_.expectAsk(nine, QMessageBox::Yes);
    trigger(window.findChild<QAction*>("actDelete"));
    EXPECT_EQ(treeLines(window), (QStringList{kAdmin, kTeacher, "Яковлев", "10 А"}));
    EXPECT_EQ(users.Teacher(), &teacher);
    EXPECT_EQ(kvalorRoot().CurrentUser(), &teacher);
    EXPECT_EQ(kvalorRoot().Studies().Count(), 2);
}

TEST_F(CompetitorsWindowTest, NewAccountsAndGroups) {
    struct Case {
        const char* focus;
        bool saved;
        QStringList linesAfter;
    };
    const std::vector<Case> cases{
        {"9 Б",
         true,
         {kAdmin, kTeacher, "Яковлев", "9 Б", "  Андреев", "  Петров", "  Сидоров С.", "10 А"}},
        // An account focused in a group adds at the top level.
        {"Петров", true, QStringList{kAdmin, kTeacher, "Сидоров С."} + classLines.mid(2)},
        {"9 Б", false, classLines},
    };
    TfmCompetitors& window = openUsers();
    QTreeView* tree = window.findChild<QTreeView*>("tvCompetitors");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.focus);
        buildClass();
        window.FormShow();
        clickNode(window, nodeNamed(window, c.focus));
        prompts_.expectModal<TfmCompetitorEdit>([&c](TfmCompetitorEdit& editor) {
            typeText(editor.findChild<QLineEdit*>("edLastName"), "Сидоров");
            typeText(editor.findChild<QLineEdit*>("edFirstName"), "Семён");
            if (c.saved) {
                click(editor.findChild<QPushButton*>("btnSave"));
            }
            click(editor.findChild<QPushButton*>("btnClose"));
        });
        QTest::keyClick(tree, Qt::Key_Insert);
        processEvents();
        ASSERT_TRUE(prompts_.finished());
        EXPECT_EQ(treeLines(window), c.linesAfter);
        if (TCompetitor* added = accountNamed("Сидоров С.")) {
            EXPECT_FALSE(added->Id().isNull());
            EXPECT_EQ(window.Model().ItemAt(tree->currentIndex()), added);
        }
    }

    // Groups: a blank name adds none; a name is kept as typed, with an id at once.
    clickNode(window, nodeNamed(window, "Яковлев"));
    prompts_.expectInputBox("Наименование группы", "  ").prompt("Наименование").value("");
    prompts_.expectInputBox("Наименование группы", " 11 В ");
    QTest::keyClick(tree, Qt::Key_Insert, Qt::ControlModifier);
    QTest::keyClick(tree, Qt::Key_Insert, Qt::ControlModifier);
    processEvents();
    EXPECT_EQ(treeLines(window), classLines.mid(0, 3) << " 11 В " << classLines.mid(3));
    auto* group = static_cast<TCompetitors*>(window.Model().ItemAt(tree->currentIndex()));
    ASSERT_NE(group, nullptr);
    EXPECT_NE(group->Id(), static_cast<TCompetitors*>(kvalorRoot().Users().CollectionAt(4))->Id());

    prompts_.expectInputBox("Наименование группы пользователей", "11 Г").value(" 11 В ");
    prompts_.expectInputBox("Наименование группы пользователей", " ");
    QTest::keyClick(tree, Qt::Key_F2);
    QTest::keyClick(tree, Qt::Key_Return);
    processEvents();
    ASSERT_TRUE(prompts_.finished());
    EXPECT_EQ(examtest::text(group->GetName()), "11 Г");
    EXPECT_EQ(treeLines(window).back(), "11 Г");
}

TEST_F(CompetitorsWindowTest, DraggingMovesAccountsAndSorts) {
    struct Case {
        QStringList selection;
        const char* target;
        bool accepted;
        QStringList linesAfter;
    };
    const QStringList sorted{kAdmin, kTeacher,   "Борисов", "Яковлев",
                             "9 Б",  "  Петров", "10 А",    "  Фёдоров"};
    const std::vector<Case> cases{
        {{"Яковлев", "Борисов"},
         "9 Б",
         true,
         {kAdmin, kTeacher, "9 Б", "  Борисов", "  Петров", "  Яковлев", "10 А", "  Фёдоров"}},
        {{"Яковлев", "Борисов"},
         "Фёдоров",
         true,
         {kAdmin, kTeacher, "9 Б", "  Петров", "10 А", "  Борисов", "  Фёдоров", "  Яковлев"}},
        // The built-in teacher stays where it is.
        {{"Преподаватель", "Петров"},
         "Борисов",
         true,
         {kAdmin, kTeacher, "Борисов", "Петров", "Яковлев", "9 Б", "10 А", "  Фёдоров"}},
        {{"9 Б", "Яковлев"}, "10 А", false, sorted},
    };
    TfmCompetitors& window = openUsers();
    QTreeView* tree = window.findChild<QTreeView*>("tvCompetitors");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selection.join(", ").toStdString());
        kvalorRoot().Clear();
        TCompetitors& users = kvalorRoot().Users();
        users.EnsureBuiltins();
        TCompetitors& nine = addUsersGroup(users, "9 Б");
        TCompetitors& ten = addUsersGroup(users, "10 А");
        TCompetitor& petrov = addApplicant("Петров", {}, &nine);
        const TStudy& study = addStudy(petrov);
        addApplicant("Фёдоров", {}, &ten);
        addApplicant("Яковлев");
        addApplicant("Борисов");
        users.Sort();
        window.FormShow();
        ASSERT_EQ(treeLines(window), sorted);
        tree->expand(nodeNamed(window, "10 А"));

        for (int i = 0; i < c.selection.size(); ++i) {
            clickNode(window, nodeNamed(window, c.selection[i]),
                      i == 0 ? Qt::NoModifier : Qt::ControlModifier);
        }
        EXPECT_EQ(dropSelectionOn(window, nodeNamed(window, c.target)), c.accepted);
        EXPECT_EQ(treeLines(window), c.linesAfter);
        // The same account object: its results stay with it.
        EXPECT_EQ(study.User(), accountNamed("Петров"));
        EXPECT_TRUE(tree->isExpanded(nodeNamed(window, "10 А")));
        if (c.accepted) {
            EXPECT_EQ(tree->currentIndex().data().toString(), c.selection[0]);
        }
    }
}

TEST_F(CompetitorsWindowTest, ImportKeepsTheAdministratorAndLinksTheResults) {
    TCompetitors& users = kvalorRoot().Users();
    TCompetitor& administrator = *users.Administrator();
    TCompetitor& petrov = addApplicant("Петров", "п1", &addUsersGroup(users, "9 Б"));
    const Guid petrovId = petrov.Id();
    const TStudy& petrovStudy = addStudy(petrov);
    TfmCompetitors& window = openUsers();
    const QString file = folder_.filePath("9 Б.exd");
    prompts_.expectSaveFile(file).filter("Данные Квалор (*.exd)");
    trigger(window.findChild<QAction*>("actCompetitorsSaveToFile"));
    EXPECT_EQ(prompts_.seen().back().defaultSuffix, "exd");

    const TStudy& laterStudy = addStudy(addApplicant("Яковлев"));
    administrator.SetPassword(toCp1251("новый"));
    // The file lacks Яковлев: asked about his result first, declined, nothing changes.
    const QString question = UsersImportQuestion(UsersImportReport{1, false});
    prompts_.expectOpenFiles({file}).filter("Данные Квалор (*.exd)");
    prompts_.expectAsk(question, QMessageBox::No)
        .caption("Предупреждение")
        .defaultButton(QMessageBox::No);
    trigger(window.findChild<QAction*>("actCompetitorsLoadFromFile"));
    EXPECT_EQ(laterStudy.User(), accountNamed("Яковлев"));
    prompts_.expectOpenFiles({file});
    prompts_.expectAsk(question, QMessageBox::Yes);
    trigger(window.findChild<QAction*>("actCompetitorsLoadFromFile"));
    ASSERT_TRUE(prompts_.finished());
    EXPECT_EQ(treeLines(window), (QStringList{kAdmin, kTeacher, "9 Б", "  Петров"}));
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

TEST_F(CompetitorsWindowTest, FailedImportsAndSavesChangeNothing) {
    const QString dataFile = programFile(kDataFileName);
    const auto writeFile = [](const QString& name, const QByteArray& bytes) {
        QFile out(name);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    };
    const auto fileBytes = [](const QString& name) {
        QFile in(name);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    };
    buildClass();
    kvalorRoot().SaveToFile(dataFile);
    dataModule().DataModuleCreate();
    TfmCompetitors& window = openUsers();
    const Guid novikov = addApplicant("Новиков").Id();
    window.FormShow();
    trigger(window.findChild<QAction*>("actSaveToFile"));
    TKvalor saved;
    saved.LoadFromFile(dataFile, true);
    EXPECT_NE(saved.Users().FindItem(novikov), nullptr);
    const QStringList lines = treeLines(window);
    const std::vector<TCompetitor*> accounts = kvalorRoot().Users().SortedAccounts();
    const auto unchanged = [&] {
        ASSERT_TRUE(prompts_.finished());
        EXPECT_EQ(treeLines(window), lines);
        EXPECT_EQ(kvalorRoot().Users().SortedAccounts(), accounts);
        EXPECT_EQ(kvalorRoot().Studies().Count(), 4);
    };

    const QString damaged = folder_.filePath("damaged.exd");
    writeFile(damaged, "not a compound file");
    prompts_.expectOpenFiles({damaged});
    prompts_.expectError("Ошибка чтения $800300FB.");
    trigger(window.findChild<QAction*>("actCompetitorsLoadFromFile"));
    unchanged();
    prompts_.expectSaveFile(folder_.filePath("нет/9 Б.exd"));
    prompts_.expectError("Ошибка записи $80030003.");
    trigger(window.findChild<QAction*>("actCompetitorsSaveToFile"));
    unchanged();
    // A folder in the way of the data file.
    ASSERT_TRUE(QFile::remove(dataFile) && QDir(folder_.path()).mkdir(kDataFileName));
    prompts_.expectError(
        QStringLiteral("Не удалось сохранить файл данных %1: нет права записи в папку %2 или "
                       "файл доступен только для чтения (Ошибка записи $80030005)")
            .arg(dataFile, folder_.path()));
    clickNode(window, nodeNamed(window, "Яковлев"));
    QTest::keyClick(window.findChild<QTreeView*>("tvCompetitors"), Qt::Key_S, Qt::ControlModifier);
    unchanged();

    // A data file that failed to load is never replaced by what was read of it.
    ASSERT_TRUE(QDir(folder_.path()).rmdir(kDataFileName));
    writeFile(dataFile, "damaged");
    prompts_
        .expectInform(
            QStringLiteral("Ошибка чтения $800300FB\n\nЭта работа не изменит файл данных. "
                           "Результаты тестирования сохранятся в файле %1 и вернутся в журнал, "
                           "когда файл данных снова будет прочитан.")
                .arg(RecoveryFile::FileNameFor(dataFile)))
        .caption("Ошибка чтения базы");
    dataModule().DataModuleCreate();
    window.FormShow();
    prompts_.expectError(
        "База данных не была прочитана при запуске программы. Сохранение невозможно.");
    trigger(window.findChild<QAction*>("actSaveToFile"));
    ASSERT_TRUE(prompts_.finished());
    EXPECT_EQ(fileBytes(dataFile), "damaged");
}

}  // namespace
}  // namespace kvalor::userstest
