#pragma once

#include <QString>

class QWidget;

namespace kvalor {

// Empties every input inside the container, at any depth: text fields and text boxes are
// emptied, drop-down lists lose their lines and their choice, check boxes are cleared, every
// cell of a grid (QTableWidget) is emptied while its rows stay, trees lose all their nodes.
// Controls built of inner inputs (spin boxes, the edit of a drop-down list, cell editors) are
// left to themselves.
void ClearInputs(QWidget* container);

// Every single-line text field inside the container whose text is empty or blank receives the
// text (a null text leaves it empty); fields with other content are left alone.
void FillBlankEdits(QWidget* container, const QString& text);

}  // namespace kvalor
