#include <windows.h>

#include "app/job.h"

// The command line is read through GetCommandLineW and the window decides its
// own visibility, so only the instance handle is used here.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  Job job(instance);
  return job.run();
}
