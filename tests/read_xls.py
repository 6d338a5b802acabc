#!/usr/bin/python3
"""Reads a BIFF2 export with xlrd and checks its cells (see tests/unit/xls_sample.cpp)."""
import sys

import xlrd

book = xlrd.open_workbook(sys.argv[1], encoding_override="cp1252")
sheet = book.sheet_by_index(0)
assert book.biff_version == 20, book.biff_version
assert sheet.nrows == 16384, sheet.nrows
assert sheet.ncols == 3, sheet.ncols
assert sheet.row_values(0) == ["Name", "Größe", ""], sheet.row_values(0)
assert sheet.row_values(1) == ["a.txt", "12 KB", "x"], sheet.row_values(1)
assert sheet.row_values(2) == ["b", "", "Ärger & <Co>"], sheet.row_values(2)
assert sheet.row_values(16383)[:2] == ["n16380", "16380"], sheet.row_values(16383)
print("xlrd read %d rows and %d columns" % (sheet.nrows, sheet.ncols))
