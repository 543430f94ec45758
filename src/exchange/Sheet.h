#pragma once

#include <QString>
#include <cstdint>
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
// Columns have their widths before the first row, so that each row is written as tall as
// its wrapped texts need: spreadsheets do not grow merged rows by themselves, and a row too
// low prints its text over the next one.
class Sheet {
public:
    // The most rows a worksheet holds.
    static constexpr std::uint64_t kMaxRows = 1048576;

    // Every cell of the sheet starts with the base style; the columns are those the rows use.
    Sheet(XlsxWorkbook& book, const QString& name, int columns, const CellStyle& base = {});

    // The width a text needs in its style, in characters of the default font, up to the
    // widest a column can be.
    static double TextWidth(const QString& text, const CellStyle& style);
    // Raises the error the exports give when a sheet would need more rows than it holds.
    static void CheckRowCount(std::uint64_t rows);

    // Set up before the first row. Cells of the column start from the base with this edit.
    void SetColumnStart(int column, const StyleEdit& edit);
    // Applied to each cell of the column after everything the rows did to it.
    void SetColumnFinish(int column, StyleEdit edit);
    void SetColumnWidth(int column, double width);
    // Pages tall that means as many as the rows need, whatever their number.
    static constexpr std::uint16_t kAsManyPagesAsNeeded = 0;
    // Print on A4 portrait, one page wide and at most pagesTall pages tall (a spreadsheet may
    // shrink the print to keep within them); with headingRows the first rows are printed again
    // at the top of every page.
    void PrintOnePageWide(std::uint16_t pagesTall, int headingRows = 0);

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
    // The width of a column nobody set, as the spreadsheets have it.
    static constexpr double kDefaultWidth = 8.43;
    struct Column {
        explicit Column(const CellStyle& base) : start(base) {}
        CellStyle start;
        StyleEdit finish;
        double width = kDefaultWidth;
    };
    void writeRow();
    // The height of the open row, in points, when its texts need more than the default.
    std::optional<double> rowHeight() const;
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
    std::uint16_t pagesTall_ = kAsManyPagesAsNeeded;
    int headingRows_ = 0;
};

}  // namespace kvalor
