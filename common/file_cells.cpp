#include "common/file_cells.h"

#include <QStringList>

namespace {

QString Capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

} // namespace

bool BreaksFields(const QString& text)
{
    for (const QChar c : text)
        if (c == QLatin1Char(';') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return true;
    return false;
}

bool FitsLatin1(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() > 0xff)
            return false;
    return true;
}

QString SeparatorProblem(const FileCells& cells)
{
    for (const FileCell& cell : cells)
        if (cell.separated && BreaksFields(cell.text))
            return QStringLiteral("%1 holds a ';' or a line break, which would shift the later "
                                  "fields of its line when the file is read back. Nothing was "
                                  "saved; correct the cell and save again.")
                .arg(Capitalised(cell.place));
    return {};
}

QString Latin1Problem(const FileCells& cells)
{
    constexpr int kNamed = 3;
    QStringList places;
    int more = 0;
    for (const FileCell& cell : cells) {
        if (FitsLatin1(cell.text))
            continue;
        if (places.size() < kNamed)
            places << cell.place;
        else
            ++more;
    }
    if (places.isEmpty())
        return {};
    QString named = places.join(QStringLiteral("; "));
    if (more > 0)
        named += QStringLiteral(" and %1 more").arg(more);
    return QStringLiteral("%1 %2 characters that the file cannot keep (it holds Latin-1 "
                          "characters only).")
        .arg(Capitalised(named),
             places.size() + more == 1 ? QStringLiteral("holds") : QStringLiteral("hold"));
}
