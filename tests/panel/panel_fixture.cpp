#include "tests/panel/panel_fixture.h"

#include "panel/device_info_window.h"
#include "panel/placeholder_window.h"
#include "tests/support/qt_wait.h"
#include "widgets/operator_messages.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

PanelFixture::PanelFixture(const std::string& gpibLibraryFile)
    : state(gpibLibraryFile), m_oldCwd(QDir::currentPath())
{
    QDir::setCurrent(m_cwd.path());
    SetOperatorMessageHook([this](const QString& text) { messages.append(text); });
    auto shell = [](const char* name, const char* caption) {
        return [=](QWidget* p) {
            return new PlaceholderWindow(QString::fromLatin1(name), QString::fromLatin1(caption),
                                         p);
        };
    };
    windows.Test.SetFactory(shell("TForm6", "Test"));
    windows.Sequence.SetFactory(shell("TForm2", "Sequenz"));
    windows.IoConfig.SetFactory(shell("TForm4", "I/O Config"));
    windows.DeviceInfo.SetFactory([this](QWidget* p) { return new TForm3(state.Panel, p); });
}

PanelFixture::~PanelFixture()
{
    form.reset();
    tool.reset();
    state.Link.TestWindow = nullptr;
    for (int n = 1; n <= LinkState::kPortCount; ++n)
        state.Link.ComPort(n).SetActive(false);
    SetOperatorMessageHook(nullptr);
    QDir::setCurrent(m_oldCwd);
}

void PanelFixture::CreateWindows()
{
    tool = std::make_unique<TForm5>(state.Link, state.Trace);
    form = std::make_unique<TForm1>(state.Link, state.Panel, state.Places, state.Test.Stopwatch,
                                    *tool, windows);
}

QString PanelFixture::LinkPath(int port) const
{
    return QString::fromStdString(sandbox.LinkDir()) + QStringLiteral("/COM%1").arg(port);
}

QLineEdit* PanelFixture::Edit(const QString& name) const
{
    return form->findChild<QLineEdit*>(name);
}

QPushButton* PanelFixture::Btn(const QString& name) const
{
    return form->findChild<QPushButton*>(name);
}

bool PanelFixture::Visible(const QString& buttonName) const
{
    QPushButton* b = Btn(buttonName);
    return b && !b->isHidden();
}

QStringList PanelFixture::LogLines() const
{
    return tool->Memo1()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void PanelFixture::Reply(int slot, const QString& text)
{
    form->Cycle().ReplySlot = slot;
    form->ParseReply(text);
}

void PanelFixture::ConnectDriven()
{
    state.Link.TestWindow = &m_received;
    form->BitBtn7Click();
    if (form->Timer1()->isActive())
        form->Timer1()->start(24 * 3600 * 1000);
}

void PanelFixture::Tick()
{
    const int before = m_received.lines;
    form->Timer1Timer();
    const int slot = form->Cycle().ReplySlot;
    if (!state.Link.SerialLink || !state.Link.ComPort(1).Active() ||
        form->Cycle().PollTable[static_cast<size_t>(slot)].isEmpty())
        return;
    EXPECT_TRUE(WaitUntil([&] { return m_received.lines > before; }))
        << "no answer to slot " << slot;
}

void PanelFixture::TickThrough(int slot)
{
    for (int i = 0; i < 2 * 60; ++i) {
        Tick();
        if (form->Cycle().ReplySlot == slot)
            return;
    }
    ADD_FAILURE() << "the cycle never took slot " << slot;
}

std::unique_ptr<TavsimProcess> PanelFixture::StartSimAndWindows(const QStringList& extra)
{
    form.reset();
    tool.reset();
    auto sim = std::make_unique<TavsimProcess>(LinkPath(2), CwdFile("tavsim.log"), extra);
    EXPECT_TRUE(sim->Ready());
    CreateWindows();
    EXPECT_TRUE(state.Link.ComPort(1).Active());
    return sim;
}
