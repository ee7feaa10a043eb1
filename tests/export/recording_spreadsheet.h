#pragma once

#include "export/spreadsheet_automation.h"

#include <QStringList>
#include <memory>

// Stands in for the spreadsheet application: records every call as a line ("create
// Excel.Application", "visible 1", "open /path", "cell 27 3 Nr.", "release") into a list the
// test keeps, and fails the call named in failAt.
class RecordingSpreadsheet : public SpreadsheetAutomation {
public:
    explicit RecordingSpreadsheet(QStringList& calls, QString failAt = QString())
        : m_calls(calls), m_failAt(std::move(failAt))
    {}
    ~RecordingSpreadsheet() override { m_calls << QStringLiteral("release"); }

    void Create(const QString& programId) override
    {
        Record(QStringLiteral("create ") + programId);
    }
    void PutVisible(bool visible) override
    {
        Record(QStringLiteral("visible %1").arg(visible ? 1 : 0));
    }
    void WorkbooksOpen(const QString& path) override { Record(QStringLiteral("open ") + path); }
    void PutCellValue(int row, int column, const QString& text) override
    {
        Record(QStringLiteral("cell %1 %2 %3").arg(row).arg(column).arg(text));
    }

    // The cells written, in order, from the recorded calls.
    static CellList Cells(const QStringList& calls)
    {
        CellList cells;
        for (const QString& call : calls) {
            const QStringList parts = call.split(QLatin1Char(' '));
            if (parts.size() >= 3 && parts[0] == QLatin1String("cell"))
                cells.push_back(
                    {parts[1].toInt(), parts[2].toInt(), call.section(QLatin1Char(' '), 3)});
        }
        return cells;
    }

private:
    void Record(const QString& call)
    {
        m_calls << call;
        if (!m_failAt.isEmpty() && call.startsWith(m_failAt))
            throw AutomationError("refused: " + call.toStdString());
    }

    QStringList& m_calls;
    QString m_failAt;
};
