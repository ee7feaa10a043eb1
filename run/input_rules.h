#pragma once

#include <QString>
#include <optional>

// What tavtest's options and the Python module's arguments take, one rule for both. Each
// complaint is said after the option's or argument's name ("--port: ", "port: ") and before
// the text given.

// A serial port: "COM3", "com3" or "3", COM1 to COM99; or "tcp://HOST:PORT", which stands for a
// port number of its own (see DirectTcpPort).
std::optional<int> ReadPort(const QString& text);
bool ValidPort(int number);
extern const char* const kNotAPort;

// A variable of "--set", "--answer" and the script's answers: "VAR02" or "VAR2" (any case),
// 1 to 10.
std::optional<int> ReadVariable(const QString& text);
bool ValidVariable(int number);
// "VAR02=115": the variable and the text after '='.
std::optional<std::pair<int, QString>> ReadAssignment(const QString& text);
extern const char* const kNotAnAssignment;

// A variable's value or a prompt's answer: a finite number, as the interpreter then reads it
// (an answer "abc" would be read as 0: a current limit of 0 A on a live source).
std::optional<double> ReadVariableValue(const QString& text);
extern const char* const kNotANumber;

// A time-out in seconds: 0 or more, fractions to the millisecond; the milliseconds. For a run
// 0 means none.
std::optional<int> TimeoutMilliseconds(double seconds);
std::optional<int> ReadTimeout(const QString& text);
extern const char* const kNotATimeout;
// The milliseconds as seconds for a message: "0.5", "600".
QString SecondsText(int milliseconds);
