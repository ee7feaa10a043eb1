#include "autotest/session.h"

#include "panel/direct_send.h"

TestSession::TestSession(LinkState& link, const ProgramPlaces& places, AutotestState& test,
                         const StepGrid& table, ResultTable& results, TestHost& host,
                         ValuePrompt& prompt, TestClock& clock)
    : L(link), F(places), m_link(link), m_auxiliary(link),
      m_run(table, test.TestRun, results, host, m_link),
      m_keywords(test.TestVariables, test.Stopwatch, clock, prompt)
{}

TestSession::~TestSession()
{
    if (L.TestWindow == this)
        L.TestWindow = nullptr;
}

QStringList TestSession::Open(const std::optional<QList<int>>& only)
{
    // A port another program took since start-up is skipped.
    const QStringList portErrors = m_auxiliary.Open(only);
    TakeGpibInstrument(L);
    m_run.SetReportPlace(F.WritableDirectory, F.StartDate,
                         F.WritableDirectory != F.ProgramDirectory);
    m_run.SetKeywords(&m_keywords);
    m_run.WindowCreated();
    L.TestWindow = this;
    m_open = true;
    return portErrors;
}

void TestSession::Close()
{
    if (!m_open)
        return;
    m_open = false;
    if (L.TestWindow == this)
        L.TestWindow = nullptr;
    ReleaseGpibInstrument(L);
    m_auxiliary.Close();
}

void TestSession::Tick()
{
    L.DeliverWaitingLines();
    m_run.Tick();
}

void TestSession::EvaluateReply(int port) { m_run.ReplyReceived(L.ReplyLine, port); }

void TestSession::PortLost(int port)
{
    (void)port;
    m_run.HoldAtLostPort();
}
