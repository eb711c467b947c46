// What the sanitizers are told about the system libraries the view tests use.
//
// ThreadSanitizer: Qt is not built with it and synchronises its thread pool
// with futexes TSan cannot see; its own allocations in pooled image work
// would be reported as races. Ignore what Qt's libraries do inside
// themselves; every access made by our code is still checked. The same holds
// for GLib, whose main loop Qt's event dispatcher runs on under X11 (its
// wake-up eventfd is written from the X event reader thread). The PulseAudio
// client library only gets a report about its own mutex set-up silenced: its
// locking must stay visible, the audio output's code relies on it.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libglib-2.0.so.0\n"
         "race:pa_mutex_lock\n";
}

// LeakSanitizer: the X11 platform plugin's D-Bus connection keeps a buffer
// until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
