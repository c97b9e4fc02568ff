// libFuzzer entry for the accounting-log parser.
#include "logrecordfuzz.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!FuzzLogRecords(data, size))
        std::abort();
    return 0;
}
