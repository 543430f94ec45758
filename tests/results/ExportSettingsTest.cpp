#include <gtest/gtest.h>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>

#include "ResultsTest.h"
#include "results/ExportSettings.h"

namespace kvalor::resultstest {
namespace {

// The four boxes, "правильные", "неправильные", "неотвеченные", "все".
std::vector<bool> states(const TfmExportSettings& dialog) {
    return {dialog.chbValid()->isChecked(), dialog.chbInvalid()->isChecked(),
            dialog.chbEmpty()->isChecked(), dialog.chbAll()->isChecked()};
}

class ExportSettingsTest : public ResultsTest {};

TEST_F(ExportSettingsTest, BoxRulesFollowEachClick) {
    TfmExportSettings& dialog = exportSettingsDialog(mainWindow());
    EXPECT_EQ(&exportSettingsDialog(mainWindow()), &dialog);  // one for the whole run
    EXPECT_EQ(dialog.windowTitle(), "Параметры экспорта");
    EXPECT_EQ(dialog.findChild<QGroupBox*>("RadioGroup1")->title(), " Вопросы ");
    EXPECT_TRUE(dialog.chbAll()->font().bold());
    dialog.show();
    processEvents();

    struct Step {
        QCheckBox* box;
        std::vector<bool> after;
    };
    const Step steps[] = {
        // Unchecking the three one by one ends with all four checked.
        {dialog.chbValid(), {false, true, true, false}},
        {dialog.chbInvalid(), {false, false, true, false}},
        {dialog.chbEmpty(), {true, true, true, true}},
        // "все" unchecked leaves the others alone; checked, it takes them with it.
        {dialog.chbAll(), {true, true, true, false}},
        {dialog.chbEmpty(), {true, true, false, false}},
        {dialog.chbEmpty(), {true, true, true, true}},
        {dialog.chbInvalid(), {true, false, true, false}},
        {dialog.chbAll(), {true, true, true, true}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.box->text().toStdString());
        step.box->setFocus();
        pressKey(step.box, Qt::Key_Space, Qt::NoModifier, " ");  // the keyboard, as a user would
        EXPECT_EQ(states(dialog), step.after);
    }

    // Enter confirms, Escape cancels; a use after keeps the boxes as they were left.
    click(dialog.chbValid());
    pressKey(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    dialog.show();
    EXPECT_EQ(states(dialog), (std::vector<bool>{false, true, true, false}));
    pressKey(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    dialog.Reset();
    EXPECT_EQ(states(dialog), (std::vector<bool>{true, true, true, true}));
}

}  // namespace
}  // namespace kvalor::resultstest
