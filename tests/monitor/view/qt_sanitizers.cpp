// What the sanitizers are told about Qt's own libraries.
//
// ThreadSanitizer: Qt is not built with it and synchronises its thread pool
// with futexes TSan cannot see; its own allocations in pooled image work
// would be reported as races. Ignore what Qt's libraries do inside
// themselves; every access made by our code is still checked.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n";
}

// LeakSanitizer: the X11 platform plugin's D-Bus connection keeps a buffer
// until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
