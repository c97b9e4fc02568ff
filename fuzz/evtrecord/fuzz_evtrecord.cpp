// libFuzzer entry for the saved event-log reader.
#include "evtrecordfuzz.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!FuzzEvtRecords(data, size))
        std::abort();
    return 0;
}
