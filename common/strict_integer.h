#pragma once

#include <QString>
#include <cstdint>

// The strict conversion of a field the operator typed as a whole number: blanks around it are
// allowed, anything else that is not a signed 32-bit decimal number raises std::runtime_error
// with the message "'<text>' ist kein gültiger Integerwert" (an empty field included).
int32_t ConvertInteger(const QString& text);
