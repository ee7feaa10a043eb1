#pragma once

#include "sim/tav_instrument.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace tav::sim {

// Commands the instrument must take, each applied.
inline void Apply(TavInstrument& tav, std::initializer_list<const char*> commands)
{
    for (const char* command : commands)
        ASSERT_EQ(tav.Process(command).kind, LineKind::Applied) << command;
}

// A query's answer, or "<no answer>".
inline std::string Ask(TavInstrument& tav, const std::string& query)
{
    return tav.HandleLine(query).value_or("<no answer>");
}

} // namespace tav::sim
