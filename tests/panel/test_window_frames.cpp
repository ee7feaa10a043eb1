// The fixed-size windows hold everything inside their client area, and nothing in any window is
// cut. ctest runs these at scale 1, 1.5 and 2 (QT_SCALE_FACTOR), as on high-resolution screens.
#include "autotest/table_window.h"
#include "link/io_config_window.h"
#include "sequence/sequence_window.h"
#include "service/info_windows.h"
#include "tests/panel/panel_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QStatusBar>

namespace {

// Every label and button shown is as large as its text needs.
void ExpectNothingCut(QWidget* window)
{
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (!child->isVisible() || child->isWindow())
            continue;
        const auto* label = qobject_cast<QLabel*>(child);
        const auto* button = qobject_cast<QAbstractButton*>(child);
        if ((label && !label->text().isEmpty() && !label->wordWrap()) ||
            (button && !button->text().isEmpty())) {
            EXPECT_LE(child->sizeHint().width(), child->width())
                << window->objectName().toStdString() << " " << child->objectName().toStdString()
                << " " << (label ? label->text() : button->text()).toStdString();
            EXPECT_LE(child->minimumSizeHint().height(), child->height())
                << window->objectName().toStdString() << " " << child->objectName().toStdString();
        }
    }
}

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
    }
    ExpectNothingCut(window);
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

// The windows an operator works in, as they open, with the status bar's longest text.
TEST_F(WindowFrames, OperatorWindowsCutNoText)
{
    CreateWindows();
    form->show();
    QApplication::processEvents();
    ExpectNothingCut(form.get());
    EXPECT_TRUE(form->statusBar()->isVisible());

    TForm6 test(state.Link, state.Places, state.Test, state.Export, form.get());
    test.show();
    QApplication::processEvents();
    ExpectNothingCut(&test);

    TForm2 sequence(state.Link, state.Export, state.Places, form.get());
    sequence.show();
    QApplication::processEvents();
    ExpectNothingCut(&sequence);

    tool->show();
    QApplication::processEvents();
    ExpectNothingCut(tool.get());
}
