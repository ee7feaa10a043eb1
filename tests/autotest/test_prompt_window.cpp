// The prompt window on its own and as the test window's "@MSGVARnn" prompt, offscreen.
#include "autotest/prompt_window.h"
#include "autotest/table_window.h"
#include "sequence/grid_widget.h"
#include "tests/panel/panel_fixture.h"
#include "tests/support/qt_wait.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <functional>

namespace {

// Acts on the next prompt window as soon as it shows, from inside its modal loop.
void WhenPromptOpens(QObject* owner, const std::function<void(TForm8*)>& act)
{
    auto* watch = new QTimer(owner);
    watch->setInterval(5);
    QObject::connect(watch, &QTimer::timeout, [watch, act] {
        auto* prompt = qobject_cast<TForm8*>(QApplication::activeModalWidget());
        if (prompt == nullptr || !prompt->isVisible())
            return;
        watch->stop();
        watch->deleteLater();
        act(prompt);
    });
    watch->start();
}

QLineEdit* Field(TForm8* prompt) { return prompt->findChild<QLineEdit*>("Edit1"); }

class PromptWindowTest : public PanelFixture {};

} // namespace

TEST_F(PromptWindowTest, OkAndEnterTakeTheFieldCloseGivesTheDefault)
{
    CreateWindows();
    QString shown;
    WhenPromptOpens(form.get(), [&](TForm8* prompt) {
        shown = prompt->windowTitle() + "|" + prompt->findChild<QLabel*>("Label1")->text() + "|" +
                Field(prompt)->text();
        Field(prompt)->setText("99");
        prompt->findChild<QPushButton*>("CloseButton")->click();
    });
    EXPECT_EQ(TForm8::AskValue("12.5", "Voltage?", form.get()), "12.5");
    EXPECT_EQ(shown, "SetVar|Voltage?|12.5");

    WhenPromptOpens(form.get(), [](TForm8* prompt) {
        Field(prompt)->selectAll();
        QTest::keyClicks(Field(prompt), "7");
        QTest::keyClick(Field(prompt), Qt::Key_Return);
    });
    EXPECT_EQ(TForm8::AskValue("12.5", "Voltage?", form.get()), "7");

    WhenPromptOpens(form.get(), [](TForm8* prompt) {
        Field(prompt)->setText("abc");
        prompt->findChild<QPushButton*>("Button1")->click();
    });
    EXPECT_EQ(TForm8::AskValue("1", "", form.get()), "abc");

    WhenPromptOpens(form.get(), [](TForm8* prompt) {
        Field(prompt)->setText("8");
        prompt->close(); // the close box
    });
    EXPECT_EQ(TForm8::AskValue("1", "", form.get()), "1");
    // The window exists only while it asks.
    EXPECT_TRUE(form->findChildren<TForm8*>().isEmpty());
}

// The test window asks through the prompt window, goes on by itself after it, and the value
// reaches the instrument, also after the window was closed and opened again.
TEST_F(PromptWindowTest, TestWindowPromptsAndTheVariableOutlivesIt)
{
    auto sim = StartSimAndWindows();
    auto window =
        std::make_unique<TForm6>(state.Link, state.Places, state.Test, state.Export, form.get());
    window->show();
    StepGridWidget* grid = window->Grid();
    grid->SetRow(1, {" 1", "00.00.00.000", "OUTP,0", "0", "0", "0", "", "", "off first", "1"});
    grid->SetRow(2, {" 2", "00.00.00.000", "@MSGVAR04", "12.5", "0", "0", "", "", "Voltage?", "1"});
    grid->SetRow(3, {" 3", "00.00.00.100", "SOUR:VOLTAC,@VAR04", "0", "0", "0", "", "", "", "1"});
    QWidget* promptParent = nullptr;
    QStringList shownDuringPrompt;
    WhenPromptOpens(window.get(), [&](TForm8* prompt) {
        promptParent = prompt->parentWidget();
        // The row that asks, not the one before it.
        shownDuringPrompt = {window->findChild<QLabel*>("StepLabel")->text(),
                             window->findChild<QLineEdit*>("CommentEdit")->text()};
        Field(prompt)->selectAll();
        QTest::keyClicks(Field(prompt), "7");
        QTest::keyClick(Field(prompt), Qt::Key_Enter);
    });
    window->findChild<QPushButton*>("Button3")->click();
    ASSERT_TRUE(WaitUntil([&] { return !window->Timer1()->isActive(); }));
    EXPECT_EQ(promptParent, form.get()) << "centred on the main window";
    EXPECT_EQ(state.Test.TestVariables[3], 7.0);
    EXPECT_EQ(shownDuringPrompt, QStringList({" 2", "Voltage?"}));
    EXPECT_EQ(window->Results().Row(2), QStringList({" 3", "", "", "", "", ""}));

    window.reset();
    window =
        std::make_unique<TForm6>(state.Link, state.Places, state.Test, state.Export, form.get());
    window->show();
    window->Grid()->SetRow(
        1, {" 1", "00.00.00.100", "SOUR:VOLTAC,@VAR04", "0", "0", "0", "", "", "", "1"});
    window->findChild<QPushButton*>("Button3")->click();
    ASSERT_TRUE(WaitUntil([&] { return !window->Timer1()->isActive(); }));
    const auto sent = [&] {
        QStringList lines;
        for (const auto& l : sim->Received())
            lines << l.line;
        return lines.filter("SOUR:VOLTAC");
    };
    ASSERT_TRUE(WaitUntil([&] { return sent().size() >= 2; })) << sent().join('|').toStdString();
    EXPECT_EQ(sent(), QStringList({"SOUR:VOLTAC,7.0", "SOUR:VOLTAC,7.0"}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}
