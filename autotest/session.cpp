#include "autotest/session.h"

#include "panel/direct_send.h"

TestSession::TestSession(ProgramState& state, const StepGrid& table, ResultTable& results,
                         TestHost& host, ValuePrompt& prompt, TestClock& clock)
    : S(state), m_link(state), m_auxiliary(state),
      m_run(table, state.TestRun, results, host, m_link),
      m_keywords(state.TestVariables, state.Stopwatch, clock, prompt)
{
}

TestSession::~TestSession()
{
    if (S.TestWindow == this)
        S.TestWindow = nullptr;
}

QStringList TestSession::Open()
{
    // A port another program took since start-up is skipped.
    const QStringList portErrors = m_auxiliary.Open();
    TakeGpibInstrument(S);
    m_run.SetReportPlace(S.WritableDirectory, S.StartDate,
                         S.WritableDirectory != S.ProgramDirectory);
    m_run.SetKeywords(&m_keywords);
    m_run.WindowCreated();
    S.TestWindow = this;
    m_open = true;
    return portErrors;
}

void TestSession::Close()
{
    if (!m_open)
        return;
    m_open = false;
    if (S.TestWindow == this)
        S.TestWindow = nullptr;
    ReleaseGpibInstrument(S);
    m_auxiliary.Close();
}

void TestSession::Tick()
{
    S.DeliverWaitingLines();
    m_run.Tick();
}

void TestSession::EvaluateReply(int port) { m_run.ReplyReceived(S.ReplyLine, port); }
