// kxToneScopePreview: checks the sound and picture of an IP camera.
#include <QApplication>

#include "app/command_line.h"
#include "app/wave_app.h"

int main(int argc, char** argv) {
  kx::SetProcessArguments(argc, argv);
  QApplication qtApp(argc, argv);
  kx::CkxWaveApp app;
  if (!app.InitInstance()) return app.ExitInstance(0);
  const int result = QApplication::exec();
  return app.ExitInstance(result);
}
