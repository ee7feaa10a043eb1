// The fixed-size windows hold everything inside their client area, and nothing in them is cut.
#include "link/io_config_window.h"
#include "service/info_windows.h"
#include "tests/panel/panel_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>

namespace {

// The window keeps its size, its layout fits into it, every control lies inside it, and every
// label is as wide as its text needs.
void ExpectFixedAndWhole(QWidget* window, QSize size)
{
    window->show();
    QApplication::processEvents();
    EXPECT_EQ(window->minimumSize(), size);
    EXPECT_EQ(window->maximumSize(), size);
    EXPECT_EQ(window->size(), size);
    const QSize needed = window->layout()->totalMinimumSize();
    EXPECT_LE(needed.width(), size.width()) << window->objectName().toStdString();
    EXPECT_LE(needed.height(), size.height()) << window->objectName().toStdString();
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (!child->isVisible() || child->isWindow())
            continue;
        const QRect inWindow(child->mapTo(window, QPoint(0, 0)), child->size());
        EXPECT_TRUE(window->rect().contains(inWindow))
            << child->metaObject()->className() << " " << child->objectName().toStdString();
        if (auto* label = qobject_cast<QLabel*>(child); label && !label->text().isEmpty()) {
            EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
        }
    }
}

class WindowFrames : public PanelFixture {};

} // namespace

TEST_F(WindowFrames, InfoAndIoWindowsKeepTheirClientAreas)
{
    auto* splash = new TForm90;
    EXPECT_EQ(splash->windowTitle(), "Info");
    const Qt::WindowFlags flags = splash->windowFlags();
    EXPECT_FALSE(flags & Qt::FramelessWindowHint);
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint) << "only the hints given: no close box, no menu";
    EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    ExpectFixedAndWhole(splash, QSize(294, 188));
    delete splash;

    TForm91 about;
    ExpectFixedAndWhole(&about, QSize(294, 188));

    CreateWindows();
    TForm4 io(state.Link, *form, form.get());
    ExpectFixedAndWhole(&io, QSize(370, 230));
}
