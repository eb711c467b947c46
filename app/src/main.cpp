// kxToneScopePreview: checks the sound and picture of an IP camera.
#include <QApplication>

#include "app/command_line.h"
#include "app/wave_app.h"

#if defined(__SANITIZE_ADDRESS__)
// Sanitizer builds only: the X11 platform plugin's D-Bus connection keeps a
// buffer until the process ends, which is not the program's leak.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
#endif

int main(int argc, char** argv) {
  kx::SetProcessArguments(argc, argv);
  QApplication qtApp(argc, argv);
  kx::CkxWaveApp app;
  if (!app.InitInstance()) return app.ExitInstance(0);
  const int result = QApplication::exec();
  return app.ExitInstance(result);
}
