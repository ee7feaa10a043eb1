// Number reading of replies and cells: any bytes give a value, never a crash; a whole number
// reads the same from its 8-bit text and from the bytes.
#include "common/number_reading.h"
#include "fuzz/fuzz_support.h"

#include <cmath>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const QString text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(size));
    const double value = ReadNumber(bytes);
    const int32_t whole = ReadInteger(bytes);
    FUZZ_CHECK(ReadInteger(text) == whole);
    const double again = ReadNumber(text);
    FUZZ_CHECK(again == value || (std::isnan(again) && std::isnan(value)));
    return 0;
}
