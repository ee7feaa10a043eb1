#include "tests/panel/panel_fixture.h"

#include "panel/device_info_window.h"
#include "panel/operator_messages.h"
#include "panel/placeholder_window.h"

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
    windows.DeviceInfo.SetFactory([this](QWidget* p) { return new TForm3(state, p); });
}

PanelFixture::~PanelFixture()
{
    form.reset();
    tool.reset();
    for (int n = 1; n <= ProgramState::kPortCount; ++n)
        state.ComPort(n).SetActive(false);
    SetOperatorMessageHook(nullptr);
    QDir::setCurrent(m_oldCwd);
}

void PanelFixture::CreateWindows()
{
    tool = std::make_unique<TForm5>(state);
    form = std::make_unique<TForm1>(state, *tool, windows);
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

std::unique_ptr<TavsimProcess> PanelFixture::StartSimAndWindows(const QStringList& extra)
{
    form.reset();
    tool.reset();
    auto sim = std::make_unique<TavsimProcess>(LinkPath(2), CwdFile("tavsim.log"), extra);
    EXPECT_TRUE(sim->Ready());
    CreateWindows();
    EXPECT_TRUE(state.ComPort(1).Active());
    return sim;
}
