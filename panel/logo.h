#pragma once

#include <QLabel>
#include <QPixmap>

// The maker's logo, drawn rather than shipped as a picture.
QPixmap MakeLogo(int height = 48);

// The logo as the main window's header shows it: a click opens the service tool.
class ClickableLogo : public QLabel {
    Q_OBJECT

public:
    explicit ClickableLogo(QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
