#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <QComboBox>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include "app/DataModule.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "util/Codepage.h"

namespace kvalor::apptest {

// Stand-ins for the working windows, under the class names the main window looks for. Each
// counts how many of it exist, so that a test sees a window created once and freed on closing.
template <class Window>
struct Counted {
    Counted() { ++alive; }
    ~Counted() { --alive; }
    static inline int alive = 0;
};
class TfmTestsEdit : public QWidget, public Counted<TfmTestsEdit> {
    Q_OBJECT
};
class TfmCompetitors : public QWidget, public Counted<TfmCompetitors> {
    Q_OBJECT
};
class TfmExamineSettings : public QWidget, public Counted<TfmExamineSettings> {
    Q_OBJECT
};
class TfmJournal : public QWidget, public Counted<TfmJournal> {
    Q_OBJECT
};

// Every test of the shell starts from the three built-in accounts, no run mode, no current
// account and a program folder of its own.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Registers the four working windows above (the results view is opened by other windows).
    static void registerDummyWindows();

    // An account directly in the users list, or in the group of that name (created with an id
    // when missing). Names and passwords are given as text and stored in the code page.
    TCompetitor& addAccount(const QString& name, const QString& password = {},
                            const QString& group = {});
    // Moves an existing account into a group as a loaded file may have it.
    void moveIntoGroup(TCompetitor& account, const QString& group);

    QString folderFile(const char* name) const { return programFile(QString::fromLatin1(name)); }
    // The box of a failed load: the error, and where the results of the run go instead.
    QString loadErrorBox(const QString& error) const;

    QTemporaryDir folder_;

private:
    TCompetitors& group(const QString& name);
};

// The lines of a drop-down list, in order.
QStringList lines(const QComboBox* list);
// Selects the line with that text as the user would with the keyboard; fails the test when
// there is none.
void chooseLine(QComboBox* list, const QString& text);

}  // namespace kvalor::apptest
