// Qt is not built with ThreadSanitizer and synchronises its thread pool with
// futexes TSan cannot see; its own allocations in pooled image work would be
// reported as races. Ignore what Qt's libraries do inside themselves; every
// access made by our code is still checked.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n";
}
