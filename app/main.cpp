#include <windows.h>

#include <new>

#include "app/exit_codes.h"
#include "app/job.h"
#include "app/out_of_memory.h"
#include "common/app_name.h"

// The command line is read through GetCommandLineW and the window decides its
// own visibility, so only the instance handle is used here. The worker
// reports memory running out during the run; this covers the command line's
// tokens, taken before it starts.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  try {
    Job job(instance);
    return job.run();
  } catch (const std::bad_alloc&) {
    MessageBoxA(nullptr, TEXT_OUT_OF_MEMORY, APP_NAME, MB_ICONERROR | MB_OK);
    return EXIT_OUT_OF_MEMORY;
  }
}
