#pragma once

#include <QList>
#include <QString>

// The texts a data file is written from, each with the words that name its place for the
// operator: row 3, column "Comment" or the field "Unit:". The files are 8-bit text whose lines
// hold fields separated by ';', without quoting or escaping.
struct FileCell {
    QString place;
    QString text;
    // A field of a separated line: a ';' or a line break in it would shift every later field of
    // its line when the file is read back.
    bool separated = true;
};
using FileCells = QList<FileCell>;

// A ';', CR or LF: what a separated field cannot hold.
bool BreaksFields(const QString& text);

// Every character has a byte of its own in the 8-bit files; any other is written as '?'.
bool FitsLatin1(const QString& text);

// Names the first separated cell holding a ';' or a line break; empty when none does.
QString SeparatorProblem(const FileCells& cells);

// Names the cells holding characters the files cannot keep; empty when there are none.
QString Latin1Problem(const FileCells& cells);
