#include "widgets/file_dialogs.h"

#include <QFileDialog>

namespace {

QString RunDialog(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

QStringList DialogNameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns)
            if (p.trimmed() == QLatin1String("*.*"))
                p = QStringLiteral("*");
        // The dialog shows what stands before the last parentheses and matches what is inside
        // them, so the caption keeps its own "(*.*)".
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

void SetDialogFilter(QFileDialog& dialog, const QString& filter)
{
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = DialogNameFilters(filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.constFirst());
}

QString AskOpenFileName(QWidget* parent, const QString& filter)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    SetDialogFilter(dialog, filter);
    return RunDialog(dialog);
}

QString AskSaveFileName(QWidget* parent, const QString& filter, const QString& proposed)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    SetDialogFilter(dialog, filter);
    if (!proposed.isEmpty())
        dialog.selectFile(proposed);
    return RunDialog(dialog);
}
