#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

// TForm8, "SetVar": asks the operator for a test variable's value. It exists only while a prompt
// is open.
class TForm8 : public QDialog {
    Q_OBJECT

public:
    // The prompt above the field, the default in it.
    TForm8(const QString& valueText, const QString& promptText, QWidget* parent = nullptr);

    // Shows the window modally over parent (the main window, which it is centred on) and
    // returns the text entered: the field's text after "OK" or Enter, the default after "Close"
    // or the close box.
    static QString AskValue(const QString& defaultText, const QString& promptText, QWidget* parent);

    // The value text: the default until "OK" or Enter takes the field.
    QString ValueText() const { return m_valueText; }

    void Button1Click(); // "OK"

private:
    QString m_valueText;
    QLabel* m_label = nullptr;
    QLineEdit* m_edit = nullptr;
};
