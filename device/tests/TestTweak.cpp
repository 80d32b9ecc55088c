// A tweak for the loader's tests: announces its load with the name it was built with.

#include "Trace.h"

namespace {

__attribute__((constructor)) void announceLoad()
{
    Trace::emit("test-tweak-loaded", { { "name", TEST_TWEAK_NAME } });
}

} // namespace
