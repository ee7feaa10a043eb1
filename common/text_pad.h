#pragma once

#include <QString>

// Blanks before (before = true) or after the text up to width characters; a longer text is
// returned unchanged, never cut.
QString PadText(const QString& text, int width, bool before);

// "0" characters before the text up to width characters; a longer text is returned unchanged.
QString PadZeros(const QString& text, int width);
