#pragma once

#include <QDialog>

// A window whose contents are not part of this build yet: its name, caption and a Close button,
// so the menu that opens it behaves as it will.
class PlaceholderWindow : public QDialog {
    Q_OBJECT

public:
    PlaceholderWindow(const QString& objectName, const QString& caption, QWidget* parent);
};
