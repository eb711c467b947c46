// Linked only while kxSystem has no log yet: the application's log helpers
// refer to CKxLog, but these tests install no log (they watch the lines with
// SetAppLogObserver), so none of this ever runs.
#include <cstdlib>

#include "kxSystem.h"

int64_t kxLocalFileTimeNow() { std::abort(); }
void CKxLog::Log(kxLogEventType, int64_t, std::u16string) { std::abort(); }
