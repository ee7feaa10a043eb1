#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// Reads a recording back as a spreadsheet would: one header, then rows of exactly as many
// fields, the time ISO 8601 with milliseconds and every other non-empty field a number.
struct CsvCheck {
    QList<QList<QByteArray>> rows; // without the header
    QString problem;               // first line that does not parse, empty when all do
    bool partialLast = false;      // the file ends inside a row

    static CsvCheck Read(const QByteArray& bytes)
    {
        CsvCheck check;
        QList<QByteArray> lines = bytes.split('\n');
        check.partialLast = !bytes.isEmpty() && !bytes.endsWith('\n');
        const QByteArray last = lines.takeLast(); // after the final line feed, or the partial row
        if (lines.isEmpty()) {
            check.problem = QStringLiteral("no header");
            return check;
        }
        const qsizetype columns = lines.front().count(',') + 1;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            QByteArray line = lines[i];
            if (!line.endsWith('\r')) {
                check.problem = QStringLiteral("line %1 has no CR LF").arg(i + 1);
                return check;
            }
            line.chop(1);
            const QList<QByteArray> fields = line.split(',');
            bool ok = fields.size() == columns &&
                      QDateTime::fromString(QString::fromLatin1(fields[0]), Qt::ISODateWithMs)
                          .isValid() &&
                      fields[0].contains('.');
            for (qsizetype f = 1; ok && f < fields.size(); ++f)
                if (!fields[f].isEmpty())
                    fields[f].toDouble(&ok);
            if (!ok) {
                check.problem = QStringLiteral("line %1 does not parse: %2")
                                    .arg(i + 1)
                                    .arg(QString::fromLatin1(line));
                return check;
            }
            check.rows.append(fields);
        }
        (void)last;
        return check;
    }
};
