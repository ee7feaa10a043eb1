#include "autotest/prompt_window.h"

#include "widgets/modal_window.h"
#include "widgets/operator_messages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kClientWidth = 230;
constexpr int kClientHeight = 118;

} // namespace

TForm8::TForm8(const QString& valueText, const QString& promptText, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint |
                          Qt::WindowCloseButtonHint),
      m_valueText(valueText)
{
    setObjectName(QStringLiteral("TForm8"));
    setWindowTitle(QStringLiteral("SetVar"));
    setFont(QFont(QStringLiteral("Tahoma")));

    auto* layout = new QVBoxLayout(this);
    m_label = new QLabel(promptText, this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setWordWrap(true);
    layout->addWidget(m_label);
    m_edit = new QLineEdit(valueText, this);
    m_edit->setObjectName(QStringLiteral("Edit1"));
    layout->addWidget(m_edit);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    // Enter is the field's own: no button may take it as well.
    ok->setAutoDefault(false);
    buttons->addWidget(ok);
    // "Close" leaves the value text as it is, so the default comes back.
    buttons->addWidget(MakeCloseButton(this));
    layout->addLayout(buttons);

    OnOperatorEvent(this, ok, &QPushButton::clicked, [this] { Button1Click(); });
    OnOperatorEvent(this, m_edit, &QLineEdit::returnPressed, [this] { Button1Click(); });
    setFixedSize(kClientWidth, kClientHeight);
}

void TForm8::Button1Click()
{
    m_valueText = m_edit->text();
    accept();
}

QString TForm8::AskValue(const QString& defaultText, const QString& promptText, QWidget* parent)
{
    TForm8 window(defaultText, promptText, parent);
    window.exec();
    return window.ValueText();
}
