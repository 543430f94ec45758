#!/usr/bin/env python3
"""Reads the first worksheet of an .xlsx workbook with an independent reader (openpyxl) and
prints it as JSON:
  cells   {"A1": {"value", "bold", "italic", "size", "halign", "valign", "wrap", "indent",
                  "borders" (the thin edges among "LRTB"), "format"}} for every cell that holds
          a value or a look of its own;
  rows    the number of rows used;
  merged  the merged ranges from the top, such as "A1:C1";
  widths  {"A": width} as a spreadsheet shows it (characters, padding taken off);
  page    paper, orientation, fitToPage, fitToWidth, fitToHeight, the print area and the
          rows printed on every page;
  title   the sheet's name;
  heights {"3": height} of the rows given a height of their own, in points;
  rich    {plain text: [[part, bold], ...]} for every text with parts in different fonts.
Exits with 77 when openpyxl is not installed."""
import json
import sys
import xml.etree.ElementTree as ET
import zipfile

try:
    import openpyxl
except ImportError:
    sys.exit(77)

NS = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
# Stored widths carry the padding of a column, 5 pixels of a 7-pixel character.
PADDING = 5 / 7


def borders(cell):
    edges = (("L", cell.border.left), ("R", cell.border.right), ("T", cell.border.top),
             ("B", cell.border.bottom))
    return "".join(name for name, side in edges if side is not None and side.style == "thin")


def cell_json(cell):
    value = cell.value
    return {
        "value": value.isoformat() if hasattr(value, "isoformat") else value,
        "bold": bool(cell.font.b),
        "italic": bool(cell.font.i),
        "size": cell.font.sz,
        "halign": cell.alignment.horizontal or "general",
        "valign": cell.alignment.vertical or "bottom",
        "wrap": bool(cell.alignment.wrap_text),
        "indent": int(cell.alignment.indent or 0),
        "borders": borders(cell),
        "format": cell.number_format,
    }


def rich_texts(file):
    result = {}
    with zipfile.ZipFile(file) as package:
        if "xl/sharedStrings.xml" not in package.namelist():
            return result
        root = ET.fromstring(package.read("xl/sharedStrings.xml"))
    for item in root.iter(NS + "si"):
        runs = item.findall(NS + "r")
        if not runs:
            continue
        parts = []
        for run in runs:
            props = run.find(NS + "rPr")
            bold = props is not None and props.find(NS + "b") is not None
            parts.append([run.findtext(NS + "t") or "", bold])
        result["".join(part for part, _ in parts)] = parts
    return result


def main(file):
    sheet = openpyxl.load_workbook(file).worksheets[0]
    cells = {}
    for row in sheet.iter_rows():
        for cell in row:
            if type(cell).__name__ == "MergedCell":
                continue
            if cell.value is not None or cell.has_style:
                cells[cell.coordinate] = cell_json(cell)
    setup = sheet.page_setup
    area = sheet.print_area
    if isinstance(area, (list, tuple)):
        area = ",".join(area)
    page = {
        "paper": setup.paperSize,
        "orientation": setup.orientation,
        "fitToPage": bool(sheet.sheet_properties.pageSetUpPr and
                          sheet.sheet_properties.pageSetUpPr.fitToPage),
        "fitToWidth": setup.fitToWidth if setup.fitToWidth is not None else 1,
        "fitToHeight": setup.fitToHeight if setup.fitToHeight is not None else 1,
        "printArea": area,
        "titleRows": sheet.print_title_rows,
    }
    heights = {str(key): dim.height for key, dim in sheet.row_dimensions.items() if dim.height}
    widths = {key: round(dim.width - PADDING, 2) for key, dim in sheet.column_dimensions.items()
              if dim.width}
    print(json.dumps({
        "cells": cells,
        "rows": sheet.max_row,
        "merged": [str(r) for r in sorted(sheet.merged_cells.ranges,
                                            key=lambda r: (r.min_row, r.min_col))],
        "widths": widths,
        "page": page,
        "title": sheet.title,
        "heights": heights,
        "rich": rich_texts(file),
    }, ensure_ascii=False))


main(sys.argv[1])
