#pragma once

#include "autotest/table_header.h"
#include "sequence/step_grid.h"

#include <QByteArrayView>
#include <QString>
#include <functional>

// The test table: 10 columns, steps 1 to 200 and the spare row 201, which a run ending without
// an "END" row of its own stops at.
enum TestColumn {
    kTestNr,
    kTestTime,
    kTestCommand,
    kTestValue1,
    kTestValue2,
    kTestValue3,
    kTestLowerLimit,
    kTestUpperLimit,
    kTestComment,
    kTestShow,
};
inline constexpr int kTestColumns = 10;
inline constexpr int kTestRows = 202; // caption row, 200 steps, spare row

const StepTableKind& TestTableKind();

// ".tst": "Test-File:", "Reporter:;", "Unit:;" and "Serial #:;" with their texts, an empty
// line, then one line per row from row 1 up to and including the first whose "Command" is
// exactly "END", or up to row 200. Lines end in CR LF; saved atomically. A table whose written
// cells hold a ';' or a line break is refused (false, the error naming the first such cell):
// the file on disk stays as it was.
bool WriteTestFile(const QString& path, const TestHeader& header, const StepGrid& grid,
                   QString* error = nullptr);

// The texts a test file is written from: the header fields, then every cell of the rows written.
FileCells TestFileCells(const TestHeader& header, const StepGrid& grid);

// Reads the header texts into header and step line n into row n (at most 200 lines; rows after
// the last line read keep their cells). A line of nine fields leaves "Show" empty. Every line
// whose time field lacks its points is reported once through timeError (1-based file line) and
// entered all the same. False (with the error) when the file cannot be read; nothing changes then.
bool ReadTestFile(const QString& path, TestHeader& header, StepGrid& grid,
                  const std::function<void(int line)>& timeError, QString* error = nullptr);

// The lines of a file (as ReadTextLines gives them) that keep it from being run unattended: a
// header line that is not a test file's, a step line whose time the reader rejects. 1-based
// line numbers; empty for a good table.
QList<int> TestFileFaults(const QStringList& lines);

// Puts serial into the "Serial #:;" line of the file and leaves every other byte as it was;
// saved atomically.
bool WriteTestFileSerial(const QString& path, const QString& serial, QString* error = nullptr);

// The step lines of a file's bytes, as stored: everything after the five header lines. The
// header (reporter, unit, serial number) changes from unit to unit; these bytes change only
// when the table's steps do.
QByteArrayView TestFileStepBytes(const QByteArray& bytes);
// The step lines the grid would be saved as: what TestFileStepBytes reads back from its file.
QByteArray TestGridStepBytes(const StepGrid& grid);
