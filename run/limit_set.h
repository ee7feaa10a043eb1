#pragma once

#include "autotest/tested_with.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

class StepGrid;

// A limits file: for one version of one table, the lower and upper limit of every checked row
// (a row with a limit) for each model of instrument, so that one table serves several models
// without copies whose limits drift apart.
//
//     # burn-in.tst for two models
//     version 3f2a9c1b7e04
//     models  TAV-1600-PS  TAV-0400-PS
//     # step  lower upper per model, in that order; "-" for no limit
//     3       229   231    114.5 115.5
//
// The version is the start (12 hexadecimal digits or more) of the table version the set was
// made for, as `tavtest history` and the reports show it: a set is used with that version
// only, so a row inserted into the table can never shift limits onto another row.
struct LimitSet {
    QString Name;         // the file's name
    QString Version;      // the SHA-256 of its lines as read (comments and blanks left out)
    QString TableVersion; // the start of the table version, lower case
    QStringList Models;
    // Per step number, per model (in Models' order): the lower and upper limit texts.
    QMap<int, QList<std::pair<QString, QString>>> Rows;

    // The index of the model in Models (letter case and blanks around it aside), or -1.
    int ModelIndex(const QString& model) const;
};

// The file read; none, with the reason (naming the file and line), when it is not a limits file.
std::optional<LimitSet> ReadLimitSet(const QString& path, QString* error);

// Why the set cannot be used with this table: made for another version (both named), a checked
// row without a line, or a line for a row that checks nothing. Empty when it can.
QString LimitSetProblem(const LimitSet& set, const QString& tableVersion, const StepGrid& table);

// The model's limits written into the table's limit cells, as the rows are then judged and
// reported.
void ApplyLimits(const LimitSet& set, int model, StepGrid& table);

// The limits of the model given, else of the one the identification names, written into the
// table, and what was applied put into tested; the reason when there are none for it.
QString ApplyModelLimits(const LimitSet& set, const QString& model, const QString& identification,
                         StepGrid& table, TestedWith& tested);

// "limits.txt 1a2b3c4d5e6f" as runs are told and reported.
QString LimitSetText(const LimitSet& set);
