#include <optional>
#include <vector>

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QFile>
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
}

}  // namespace
}  // namespace kvalor::userstest
