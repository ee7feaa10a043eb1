#include "panel/placeholder_window.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PlaceholderWindow::PlaceholderWindow(const QString& objectName, const QString& caption,
                                     QWidget* parent)
    : QDialog(parent)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("This window is not available yet."), this));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(close);
}
