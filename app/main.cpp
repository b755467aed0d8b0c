// velboot: the desktop window. It takes no arguments.
#include "app/AppShell.h"
#include "app/JustOne.h"
#include "app/Main32Velmor.h"
#include "devlink/Clock.h"
#include "devlink/posix/PosixPort.h"

int main(int argc, char** argv) {
  velboot::VelbootApplication app(argc, argv);
  velboot::PosixPortBackend ports;
  velboot::RealClock clock;
  int status = 0;
  {
    velboot::TMainForm MainForm({ports, clock});
    MainForm.show();  // runs FormShow
    // A refused second instance ends here, quietly, without saving anything.
    if (MainForm.JustOne1->OwnsMutex()) status = app.exec();
  }
  return status;
}
