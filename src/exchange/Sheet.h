#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "exchange/XlsxWorkbook.h"

struct lxw_worksheet;

namespace kvalor {

// A change of a cell's look, such as formatting a whole column does.
using StyleEdit = std::function<void(CellStyle&)>;

// The worksheet of an export, written one row at a time from the top. The row being written
// stays open for changes (appending to a cell, adding an edge) until the next row is added;
// formatting of whole columns is set up front and applied to every cell as its row is
// written out, the way formatting a column afterwards reaches the cells already filled.
class Sheet {
public:
    // Every cell of the sheet starts with the base style; the columns are those the rows use.
    Sheet(XlsxWorkbook& book, int columns, const CellStyle& base = {});

    // Set up before the first row. Cells of the column start from the base with this edit.
    void SetColumnStart(int column, const StyleEdit& edit);
    // Applied to each cell of the column after everything the rows did to it.
    void SetColumnFinish(int column, StyleEdit edit);
    void SetColumnWidth(int column, double width);
    // Width from the longest text of the column; merged rows do not count.
    void FitColumn(int column);
    // Print on A4 portrait, one page wide and as many tall as needed.
    void PrintOnePageWide();

    // Writes the open row out and opens the next one. Raises an error past the last row of
    // a worksheet.
    void AddRow();
    // Rows added so far, the open one included.
    int RowCount() const { return rowCount_; }
    // One cell over all columns of the open row; its text and style are those of column 0.
    void MergeRow();
    bool RowMerged() const { return merged_; }
    CellStyle& Style(int column);
    // Changes every cell of the open row.
    void EditRow(const StyleEdit& edit);
    void SetText(int column, const QString& text);
    void SetNumber(int column, double value);
    // The text shown in the cell of the open row.
    QString Text(int column) const;
    // The first characters of the text of column 0 in bold.
    void SetBoldPrefix(qsizetype length);

    // Writes the last row and the column settings; the sheet is then complete.
    void Finish();

private:
    struct Cell {
        QString text;
        std::optional<double> number;
        CellStyle style;
    };
    struct Column {
        explicit Column(const CellStyle& base) : start(base) {}
        CellStyle start;
        StyleEdit finish;
        std::optional<double> width;
        bool fit = false;
        double fitted = 0.0;
    };

    void writeRow();
    CellStyle finalStyle(int column, CellStyle style) const;
    static void check(int error);

    XlsxWorkbook& book_;
    lxw_worksheet* sheet_;
    CellStyle base_;
    std::vector<Column> columns_;
    std::vector<Cell> cells_;
    int rowCount_ = 0;
    bool rowOpen_ = false;
    bool merged_ = false;
    qsizetype boldPrefix_ = 0;
    bool printOnePageWide_ = false;
};

}  // namespace kvalor
