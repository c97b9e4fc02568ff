// The parser reports a refused value to the operation log and passes a fault point that the
// crash tests use; under the fuzzer neither has anywhere to go.
#include "core/app/faultpoint.h"
#include "core/app/oplog.h"

void FaultPoint(const char*) {}
void LogText(const QString&, const QString&, int) {}
