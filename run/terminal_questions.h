#pragma once

#include <QObject>
#include <QString>
#include <deque>
#include <functional>

class QSocketNotifier;
class RunnerConsole;

// Where a run asks its operator (a PAUSE row, a prompt): the terminal, or a window. Questions
// of several runs are asked one at a time, in the order they come; waiting for an answer holds
// only the run that asked.
class RunQuestions {
public:
    using Answer = std::function<void(const QString& line)>;
    virtual ~RunQuestions() = default;
    // Asks now, or after the questions before it; answer gets the line typed (empty: none).
    virtual void Ask(RunnerConsole& console, const QString& question, Answer answer) = 0;
    // A run that ends takes its questions back.
    virtual void Withdraw(const RunnerConsole& console) = 0;
};

// The operator's terminal, shared by every run of a process (a rack's slots): questions are
// asked one at a time, in the order they come, each on the console of the run that asks, and
// each line typed answers the question shown. Waiting for an answer holds only the run that
// asked; the others go on ticking.
class TerminalQuestions : public QObject, public RunQuestions {
public:
    // The line without its line end (empty at the end of input).
    void Ask(RunnerConsole& console, const QString& question, Answer answer) override;
    void Withdraw(const RunnerConsole& console) override;

private:
    struct Question {
        RunnerConsole* Console;
        QString Text;
        Answer Reply;
    };
    void ShowNext();
    void LineTyped();

    std::deque<Question> m_questions;
    QSocketNotifier* m_input = nullptr;
    bool m_answering = false;
};
