#include "run/terminal_questions.h"

#include "run/runner_console.h"

#include <QSocketNotifier>
#include <cstdio>
#include <unistd.h>

void QuestionQueue::Ask(RunnerConsole& console, const QString& question, Answer answer)
{
    m_questions.push_back({&console, question, std::move(answer)});
    if (m_questions.size() == 1 && !m_answering)
        ShowNext();
}

void QuestionQueue::Withdraw(const RunnerConsole& console)
{
    const bool shown = !m_questions.empty() && m_questions.front().Console == &console;
    std::erase_if(m_questions, [&](const Question& q) { return q.Console == &console; });
    if (shown)
        ShowNext();
}

void QuestionQueue::Reply(const QString& line)
{
    if (m_questions.empty())
        return;
    Question asked = std::move(m_questions.front());
    m_questions.pop_front();
    asked.Console->Answered();
    m_answering = true; // a question asked again from the answer comes after this one
    asked.Reply(line);
    m_answering = false;
    ShowNext();
}

void TerminalQuestions::Show(const Question* question)
{
    if (!question) {
        delete m_input;
        m_input = nullptr;
        return;
    }
    question->Console->Ask(question->Text);
    if (!m_input) {
        m_input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(m_input, &QSocketNotifier::activated, this, &TerminalQuestions::LineTyped);
    }
}

// One line from standard input, without its line end; empty at end of input.
void TerminalQuestions::LineTyped()
{
    char buffer[256];
    QString line;
    if (std::fgets(buffer, sizeof buffer, stdin))
        line = QString::fromLocal8Bit(buffer).trimmed();
    else
        std::clearerr(stdin);
    Reply(line);
}
