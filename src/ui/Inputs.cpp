#include "ui/Inputs.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>

#include "util/TextUtils.h"

namespace kvalor {

namespace {

// Composite controls whose inner widgets (a spin box's edit, a list's cell editors) are parts
// of them, not inputs of the container.
bool isComposite(const QWidget* widget) {
    return qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget) ||
           qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget);
}

// Calls visit for every widget inside the container that is not part of a composite control.
template <class Visit>
void forEachInput(QWidget* container, Visit visit) {
    for (QObject* object : container->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow()) {
            continue;
        }
        visit(child);
        if (!isComposite(child)) {
            forEachInput(child, visit);
        }
    }
}

void clearGrid(QTableWidget* grid) {
    for (int row = 0; row < grid->rowCount(); ++row) {
        for (int column = 0; column < grid->columnCount(); ++column) {
            // The cell keeps its item, so that its alignment and flags survive the clearing.
            if (QTableWidgetItem* cell = grid->item(row, column)) {
                cell->setText(QString());
            }
        }
    }
}

void clearTree(QTreeView* tree) {
    if (auto* widget = qobject_cast<QTreeWidget*>(tree)) {
        widget->clear();
    } else if (QAbstractItemModel* model = tree->model()) {
        model->removeRows(0, model->rowCount());
    }
}

void clearInput(QWidget* widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->clear();
    } else if (auto* textEdit = qobject_cast<QTextEdit*>(widget)) {
        textEdit->clear();
    } else if (auto* plainEdit = qobject_cast<QPlainTextEdit*>(widget)) {
        plainEdit->clear();
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        list->clear();
        list->setCurrentIndex(-1);
        if (list->isEditable()) {
            list->clearEditText();
        }
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        box->setCheckState(Qt::Unchecked);
    } else if (auto* grid = qobject_cast<QTableWidget*>(widget)) {
        clearGrid(grid);
    } else if (auto* tree = qobject_cast<QTreeView*>(widget)) {
        clearTree(tree);
    }
}

}  // namespace

void ClearInputs(QWidget* container) {
    if (container) {
        forEachInput(container, clearInput);
    }
}

void FillBlankEdits(QWidget* container, const QString& text) {
    if (!container) {
        return;
    }
    forEachInput(container, [&text](QWidget* widget) {
        auto* edit = qobject_cast<QLineEdit*>(widget);
        if (edit && TrimText(edit->text()).isEmpty()) {
            edit->setText(text);
        }
    });
}

}  // namespace kvalor
