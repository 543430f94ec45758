#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace kvalor {

class TQuestions;
struct TTask;

// The settings of a test as typed in its settings dialog, apart from the widgets: the first
// value that cannot be saved, and the storing of the values into the test.
struct TestSettingsValues {
    // Where a value is wrong, in the order the values are checked.
    enum class Field { Thresholds, PassPercent, Hours, Minutes, TaskQuestions, Caption };
    struct Fault {
        Field Where;
        QString Text;
    };

    QString Caption;
    QString Hours;
    QString Minutes;
    // The grade thresholds, lowest grade first; used when Grades is set.
    QStringList Thresholds;
    bool Grades = false;
    // The pass percentage of a test that is only passed or failed.
    QString PassPercent;
    bool MixQuestions = false;
    bool MixAnswers = false;
    // Only a complex test keeps these two.
    bool MixGroups = false;
    bool BreakGroups = false;
    // The question count typed for the chosen task; none when no task is being edited.
    std::optional<QString> TaskQuestions;

    std::optional<Fault> FirstFault() const;
    // Stores the values into the test, and the typed count into the task when one is given.
    void ApplyTo(TQuestions& test, TTask* task) const;
};

}  // namespace kvalor
