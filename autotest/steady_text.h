#pragma once

class QLabel;
class QLineEdit;
class QString;

// A label whose text changes with every result row keeps a fixed size that only grows: while a
// new text fits, setting it repaints the label alone. A label that follows its text's size has
// its whole window laid out again, and its neighbours moved and repainted, at every change.
void SetSteadyText(QLabel* label, const QString& text);
// The label takes its text's own size again (a new run: an earlier long text no longer counts).
void ReleaseSteadySize(QLabel* label);
// A field given the text it already holds is left alone: QLineEdit lays its text out anew even
// then, and a run gives the step fields their texts at every row.
void SetSteadyText(QLineEdit* field, const QString& text);
