#include "service/info_windows.h"

#include "panel/logo.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char* const kVersionText = "Version 2.056-2";

// The labels both information windows show.
QVBoxLayout* BuildInfoContent(QDialog* window)
{
    window->setWindowTitle(QStringLiteral("Info"));
    auto* layout = new QVBoxLayout(window);
    auto* logo = new QLabel(window);
    logo->setPixmap(MakeLogo(40));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);
    auto label = [&](const QString& text, const QString& name, const QString& style) {
        auto* l = new QLabel(text, window);
        l->setObjectName(name);
        l->setAlignment(Qt::AlignCenter);
        l->setStyleSheet(style);
        layout->addWidget(l);
        return l;
    };
    label(QStringLiteral("KELM Electronic GmbH"), QStringLiteral("MakerLabel"),
          QStringLiteral("color: blue; font-weight: bold;"));
    label(QStringLiteral("TAV Control"), QStringLiteral("ProductLabel"),
          QStringLiteral("font-size: 16px; font-weight: bold;"));
    QLabel* version = label(QStringLiteral("Version"), QStringLiteral("VersionLabel"), QString());
    version->setText(QString::fromLatin1(kVersionText));
    label(QStringLiteral("Control software for the TAV series of AC/DC power sources."),
          QStringLiteral("NoticeLabel1"), QStringLiteral("font-size: 10px;"));
    label(QStringLiteral("All rights reserved."), QStringLiteral("NoticeLabel2"),
          QStringLiteral("font-size: 10px;"));
    return layout;
}

} // namespace

TForm90::TForm90(QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint),
      m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("TForm90"));
    setAttribute(Qt::WA_DeleteOnClose);
    BuildInfoContent(this);
    setFixedSize(294, 188);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(3000);
    connect(m_timer, &QTimer::timeout, this, &QWidget::close);
    m_timer->start();
}

TForm91::TForm91(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("TForm91"));
    QVBoxLayout* layout = BuildInfoContent(this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignCenter);
    setFixedSize(294, 188 + close->sizeHint().height());
}
