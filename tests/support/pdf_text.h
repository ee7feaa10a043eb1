#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// What poppler's tools read out of a PDF file: its text laid out as printed ("pdftotext
// -layout"; pages end in a form feed) and its fonts ("pdffonts"). Empty when the tool failed.
inline QString RunPdfTool(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline QString PdfLayoutText(const QString& pdfPath)
{
    return RunPdfTool(QStringLiteral("pdftotext"), {"-layout", pdfPath, "-"});
}

inline QString PdfFonts(const QString& pdfPath)
{
    return RunPdfTool(QStringLiteral("pdffonts"), {pdfPath});
}

// The text's lines without blanks at their ends, empty lines dropped, pages run together.
inline QStringList PdfLines(const QString& layoutText)
{
    QStringList lines;
    for (QString line : layoutText.split(QLatin1Char('\n'))) {
        line.remove(QLatin1Char('\f'));
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        if (!line.trimmed().isEmpty())
            lines << line;
    }
    return lines;
}
