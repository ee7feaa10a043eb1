#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TAV Control"));
    QLabel window(QStringLiteral("TAV-Control"));
    window.setObjectName(QStringLiteral("TForm1"));
    window.resize(851, 763);
    window.show();
    return app.exec();
}
