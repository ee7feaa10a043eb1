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

// The queue both keep: one question shown at a time, the next once it is answered or taken
// back. A question asked again from its own answer (not a number) comes after the others.
class QuestionQueue : public RunQuestions {
public:
    void Ask(RunnerConsole& console, const QString& question, Answer answer) override;
    void Withdraw(const RunnerConsole& console) override;

protected:
    struct Question {
        RunnerConsole* Console;
        QString Text;
        Answer Reply;
    };
    // The question to show now; null when none is left.
    virtual void Show(const Question* question) = 0;
    const Question* Shown() const { return m_questions.empty() ? nullptr : &m_questions.front(); }
    // The line typed for the question shown: it is answered, and the next one shown.
    void Reply(const QString& line);

private:
    void ShowNext() { Show(Shown()); }

    std::deque<Question> m_questions;
    bool m_answering = false;
};

// The operator's terminal, shared by every run of a process (a rack's slots): each question on
// the console of the run that asks, and each line typed (without its line end; empty at the end
// of input) answers the question shown.
class TerminalQuestions : public QObject, public QuestionQueue {
private:
    void Show(const Question* question) override;
    void LineTyped();

    QSocketNotifier* m_input = nullptr;
};
