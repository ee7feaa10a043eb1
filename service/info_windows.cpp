#include "service/info_windows.h"

#include "panel/logo.h"
#include "tav_version.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char* const kVersionText = "Version " TAV_VERSION_TEXT;

// Both windows have a client area of 294 x 188 that holds everything, the about window's
// "Close" included.
constexpr int kClientWidth = 294;
constexpr int kClientHeight = 188;

// The labels both information windows show.
QVBoxLayout* BuildInfoContent(QDialog* window)
{
    window->setWindowTitle(QStringLiteral("Info"));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(1);
    auto* logo = new QLabel(window);
    logo->setPixmap(MakeLogo(34));
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
          QStringLiteral("font-size: 15px; font-weight: bold;"));
    QLabel* version = label(QStringLiteral("Version"), QStringLiteral("VersionLabel"), QString());
    version->setText(QString::fromLatin1(kVersionText));
    label(QStringLiteral("Control of TAV AC/DC power sources"), QStringLiteral("NoticeLabel1"),
          QStringLiteral("font-size: 10px;"));
    label(QStringLiteral("All rights reserved."), QStringLiteral("NoticeLabel2"),
          QStringLiteral("font-size: 10px;"));
    return layout;
}

} // namespace

void SetProgramName()
{
    QGuiApplication::setApplicationName(QStringLiteral("TAV Control"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tavcontrol"));
}

TForm90::TForm90(QWidget* parent)
    // A titled, fixed dialog border without system menu or close box: it closes by its timer.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("TForm90"));
    setAttribute(Qt::WA_DeleteOnClose);
    BuildInfoContent(this)->addStretch();
    setFixedSize(kClientWidth, kClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(kShowMs);
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
    layout->addSpacing(3);
    layout->addWidget(close, 0, Qt::AlignCenter);
    setFixedSize(kClientWidth, kClientHeight);
    if (parent)
        move(parent->geometry().center() - rect().center());
}
