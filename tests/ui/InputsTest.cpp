#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/Inputs.h"

namespace kvalor {
namespace {

TEST(Inputs, ClearInputsEmptiesEveryKindOfInputAtAnyDepth) {
    QWidget dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* caption = new QLineEdit("Тест 1");
    auto* notes = new QTextEdit("примечание");
    auto* plain = new QPlainTextEdit("текст");
    auto* tasks = new QComboBox;
    tasks->addItems({"Первое", "Второе"});
    tasks->setCurrentIndex(1);
    auto* editable = new QComboBox;
    editable->setEditable(true);
    editable->addItem("Группа");
    editable->setEditText("своя");
    auto* nested = new QGroupBox(" Формирование выборки ");
    auto* nestedLayout = new QVBoxLayout(nested);
    auto* mix = new QCheckBox("случайный порядок ответов");
    mix->setTristate(true);
    mix->setCheckState(Qt::PartiallyChecked);
    auto* hours = new QLineEdit("2");
    auto* spin = new QSpinBox;
    spin->setValue(7);
    nestedLayout->addWidget(mix);
    nestedLayout->addWidget(hours);
    nestedLayout->addWidget(spin);

    auto* grid = new QTableWidget(5, 2);
    grid->setHorizontalHeaderLabels({"1", "2"});
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 2; ++column) {
            auto* cell = new QTableWidgetItem(QString::number(row * 10 + column));
            cell->setTextAlignment(Qt::AlignRight);
            grid->setItem(row, column, cell);
        }
    }
    auto* tree = new QTreeWidget;
    new QTreeWidgetItem(new QTreeWidgetItem(tree, {"Тест"}), {"Вопрос"});
    auto* modelTree = new QTreeView;
    auto* model = new QStandardItemModel(modelTree);
    model->appendRow(new QStandardItem("Задание"));
    modelTree->setModel(model);

    for (QWidget* w : std::initializer_list<QWidget*>{caption, notes, plain, tasks, editable,
                                                      nested, grid, tree, modelTree}) {
        layout->addWidget(w);
    }

    ClearInputs(&dialog);

    EXPECT_TRUE(caption->text().isEmpty());
    EXPECT_TRUE(notes->toPlainText().isEmpty());
    EXPECT_TRUE(plain->toPlainText().isEmpty());
    EXPECT_EQ(tasks->count(), 0);
    EXPECT_EQ(tasks->currentIndex(), -1);
    EXPECT_EQ(editable->count(), 0);
    EXPECT_TRUE(editable->currentText().isEmpty());
    EXPECT_EQ(mix->checkState(), Qt::Unchecked);
    EXPECT_TRUE(hours->text().isEmpty());
    EXPECT_EQ(spin->text(), "7");  // a spin box is no text field, nor is its inner edit
    ASSERT_EQ(grid->rowCount(), 5);
    ASSERT_EQ(grid->columnCount(), 2);
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 2; ++column) {
            ASSERT_NE(grid->item(row, column), nullptr);
            EXPECT_TRUE(grid->item(row, column)->text().isEmpty()) << row << "," << column;
            EXPECT_EQ(grid->item(row, column)->textAlignment(), int(Qt::AlignRight));
        }
    }
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "2");
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_EQ(model->rowCount(), 0);
}

TEST(Inputs, FillBlankEditsFillsOnlyEmptyOrBlankFields) {
    QWidget dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* empty = new QLineEdit;
    auto* blank = new QLineEdit("   ");
    auto* number = new QLineEdit("12");
    auto* padded = new QLineEdit(" 3 ");
    auto* nested = new QGroupBox;
    auto* nestedEdit = new QLineEdit(nested);
    auto* spin = new QSpinBox;
    spin->setSpecialValueText(" ");
    auto* list = new QComboBox;
    list->setEditable(true);
    for (QWidget* w :
         std::initializer_list<QWidget*>{empty, blank, number, padded, nested, spin, list}) {
        layout->addWidget(w);
    }

    FillBlankEdits(&dialog, "0");
    EXPECT_EQ(empty->text(), "0");
    EXPECT_EQ(blank->text(), "0");
    EXPECT_EQ(number->text(), "12");
    EXPECT_EQ(padded->text(), " 3 ");
    EXPECT_EQ(nestedEdit->text(), "0");
    EXPECT_EQ(spin->text(), " ");  // the inner edit of a spin box is left to the spin box
    EXPECT_TRUE(list->currentText().isEmpty());

    // An absent text empties blank fields.
    blank->setText("  ");
    FillBlankEdits(&dialog, QString());
    EXPECT_TRUE(blank->text().isEmpty());
    EXPECT_EQ(empty->text(), "0");
}

}  // namespace
}  // namespace kvalor
