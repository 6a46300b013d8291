// Where the test programs find the sources and programs they run. Defined in
// one small generated file (tests/CMakeLists.txt), so that the test sources
// themselves hold no path of the clone and compile to the same objects in
// every clone.
#ifndef BOARDCFG_TESTS_TEST_PATHS_H
#define BOARDCFG_TESTS_TEST_PATHS_H

namespace testpaths {

extern const char kExamplesDir[];
extern const char kFuzzDir[];
extern const char kBoardsim[];
extern const char kBoardlay[];
// The host build's library of the firmware code.
extern const char kFirmwareLibrary[];
extern const char kFuzzSeedCorpus[];
// Scenarios the reader refuses and accepts, which the schema's test reads
// too.
extern const char kScenarioCases[];

}  // namespace testpaths

#endif
