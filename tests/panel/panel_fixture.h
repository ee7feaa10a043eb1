#pragma once

#include "panel/main_window.h"
#include "program/program_state.h"
#include "service/service_tool.h"
#include "tests/support/pty_link.h"
#include "tests/support/tavsim_process.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

// The main window as the program makes it, offscreen, started in a folder of its own (where it
// keeps TAVCON.cfg) with its COM ports in a sandbox. Messages to the operator are collected.
class PanelFixture : public ::testing::Test {
protected:
    // gpibLibraryFile: the NI-488 library the program state binds, by the loader's name.
    explicit PanelFixture(const std::string& gpibLibraryFile = GpibLibrary::kLibraryFileName);
    ~PanelFixture() override;

    // Creates the service tool and the main window (creation runs discovery).
    void CreateWindows();
    // Starts tavsim as COM2 (logging into the start folder), then the windows, which open it.
    std::unique_ptr<TavsimProcess> StartSimAndWindows(const QStringList& extra = {});
    QString CwdFile(const QString& name) const { return m_cwd.filePath(name); }
    QString LinkPath(int port) const;

    QLineEdit* Edit(const QString& name) const;
    QPushButton* Btn(const QString& name) const;
    bool Visible(const QString& buttonName) const;
    // The lines the service tool's log holds.
    QStringList LogLines() const;
    // A reply as it arrives while the cycle is at the given slot.
    void Reply(int slot, const QString& text);

    // Connect, leaving the poll timer running, so the window counts as polling, but too slow to
    // ever tick by itself: the test ticks it. Received lines are counted from here on, through
    // the hand-over a test window gets.
    void ConnectDriven();
    // One tick of the poll cycle. When it sent a query over the serial link, waits until the
    // answer has been through the reply handling, as a prompt instrument's would within a tick.
    void Tick();
    // Ticks until the cycle has taken the given slot (at most two passes of the longest cycle).
    void TickThrough(int slot);

    PortSandbox sandbox;
    ProgramState state;
    PanelWindows windows;
    std::unique_ptr<TForm5> tool;
    std::unique_ptr<TForm1> form;
    QStringList messages;

private:
    struct LineCounter : ReplyListener {
        int lines = 0;
        void EvaluateReply(int) override { ++lines; }
    };

    LineCounter m_received;
    QTemporaryDir m_cwd;
    QString m_oldCwd;
};
