#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// What poppler's tools read out of a PDF file: its text laid out as printed (pages end in a form
// feed) and its fonts ("pdffonts"). Empty when the tool failed.
inline QString RunPdfTool(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// pitchPoints: the character width of a fixed-pitch text, so that every character and blank
// comes back in its column ("pdftotext -fixed"); 0 for pdftotext's own guess ("-layout").
inline QString PdfLayoutText(const QString& pdfPath, double pitchPoints = 0)
{
    QStringList arguments{"-layout"};
    if (pitchPoints > 0)
        arguments = QStringList{"-fixed", QString::number(pitchPoints)};
    return RunPdfTool(QStringLiteral("pdftotext"), arguments << pdfPath << "-");
}

inline QString PdfFonts(const QString& pdfPath)
{
    return RunPdfTool(QStringLiteral("pdffonts"), {pdfPath});
}

// The text's lines without the page margin's blanks and blanks at their ends, empty lines
// dropped, pages run together.
inline QStringList PdfLines(const QString& layoutText)
{
    QStringList lines;
    qsizetype margin = -1;
    for (QString line : layoutText.split(QLatin1Char('\n'))) {
        line.remove(QLatin1Char('\f'));
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const qsizetype indent = line.size() - line.trimmed().size();
        margin = margin < 0 ? indent : std::min(margin, indent);
        lines << line;
    }
    for (QString& line : lines)
        line.remove(0, margin);
    return lines;
}
