// What LeakSanitizer is told about the system libraries of the Qt tests (ThreadSanitizer's list is
// tests/tsan.supp): the X11 platform plugin's D-Bus connection keeps a buffer until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
