#pragma once

// Where this build put the programs the tests start, and the source tree the tests read. They
// are defined in one generated file of the build folder, so that no other test file's compile
// command names a folder, and the compiler cache finds those files by their text alone.
extern const char* const kTavsimPath;
extern const char* const kTavtestPath;
extern const char* const kSourceDir;
