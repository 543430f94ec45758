#include "AppTest.h"

#include <QKeyEvent>

#include "app/MainWindow.h"
#include "support/GuiTest.h"
#include "support/TestRun.h"

namespace kvalor::apptest {

void AppTest::SetUp() {
    ASSERT_TRUE(folder_.isValid());
    startTestRun(folder_.path());
    TfmTestsEdit::alive = TfmCompetitors::alive = TfmExamineSettings::alive = TfmJournal::alive = 0;
}

void AppTest::TearDown() {
    endTestRun();
}

void AppTest::registerDummyWindows() {
    TfmKvalor::registerWorkingWindow("TfmTestsEdit", [](TfmKvalor&) { return new TfmTestsEdit; });
    TfmKvalor::registerWorkingWindow("TfmCompetitors",
                                     [](TfmKvalor&) { return new TfmCompetitors; });
    TfmKvalor::registerWorkingWindow("TfmExamineSettings",
                                     [](TfmKvalor&) { return new TfmExamineSettings; });
    TfmKvalor::registerWorkingWindow("TfmJournal", [](TfmKvalor&) { return new TfmJournal; });
}

QString AppTest::loadErrorBox(const QString& error) const {
    return error + QStringLiteral(
                       "\n\nЭта работа не изменит файл данных. Результаты тестирования "
                       "сохранятся в файле %1 и вернутся в журнал, когда файл данных "
                       "снова будет прочитан.")
                       .arg(folderFile("KvalorData.recovery.exd"));
}

TCompetitors& AppTest::group(const QString& name) {
    TCompetitors& users = kvalorRoot().Users();
    for (int index = 0; index < users.Count(); ++index) {
        auto* existing = dynamic_cast<TCompetitors*>(users.CollectionAt(index));
        if (existing && existing->GetName() == toCp1251(name)) {
            return *existing;
        }
    }
    auto created = std::make_unique<TCompetitors>();
    created->SetName(toCp1251(name));
    created->NewId();
    TCompetitors& result = *created;
    users.AddCollection(std::move(created));
    return result;
}

TCompetitor& AppTest::addAccount(const QString& name, const QString& password,
                                 const QString& groupName) {
    auto account = std::make_unique<TCompetitor>();
    account->SetName(toCp1251(name));
    account->SetPassword(toCp1251(password));
    TCompetitor& result = *account;
    TCompetitors& target = groupName.isEmpty() ? kvalorRoot().Users() : group(groupName);
    EXPECT_GE(target.AddCompetitor(std::move(account), true), 0);
    return result;
}

void AppTest::moveIntoGroup(TCompetitor& account, const QString& groupName) {
    TCompetitors& target = group(groupName);
    std::unique_ptr<TExaminerElement> owned = account.Parent()->Extract(account);
    ASSERT_TRUE(owned);
    // Outside loading the built-in accounts never go into a group; a loaded file may have one.
    target.SetLoading(true);
    target.AddCompetitor(std::unique_ptr<TCompetitor>(static_cast<TCompetitor*>(owned.release())),
                         false);
    target.SetLoading(false);
}

QStringList lines(const QComboBox* list) {
    QStringList result;
    for (int index = 0; index < list->count(); ++index) {
        result << list->itemText(index);
    }
    return result;
}

void chooseLine(QComboBox* list, const QString& text) {
    const int target = list->findText(text);
    ASSERT_GE(target, 0) << "no line " << text.toStdString();
    // Arrow keys move the choice one line at a time and report it as the user's choice.
    while (list->currentIndex() != target) {
        const Qt::Key key = list->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up;
        const int before = list->currentIndex();
        pressKey(list, key);
        ASSERT_NE(list->currentIndex(), before) << "the list does not move";
    }
}

}  // namespace kvalor::apptest
