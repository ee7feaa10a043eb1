#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

// The file dialogs take their filters as the windows give them, "caption|patterns|caption|
// patterns" ("Sequenz Files (*.seq)|*.seq|All Files (*.*)|*.*"). The captions are shown as they
// stand; "*.*" matches every file, names without a dot included, as it does for the operator on
// other systems.
QStringList DialogNameFilters(const QString& filter);

// Sets a dialog up with those filters (the first one chosen).
void SetDialogFilter(QFileDialog& dialog, const QString& filter);

// The modal dialogs; an empty text when the operator cancels. The save dialog asks before it
// replaces a file.
QString AskOpenFileName(QWidget* parent, const QString& filter);
QString AskSaveFileName(QWidget* parent, const QString& filter,
                        const QString& proposed = QString());
