#pragma once

#include "os/os_object.h"

// Waits in the background until a process ends or the stop event is set,
// then posts WM_CLOSE to notifyWindow.
class WaitThread : public OSThread {
  public:
    ~WaitThread() override;
    uint32_t run(HANDLE process) override;

    HWND notifyWindow = nullptr;
    MultiWaitEvent stopEvent;

  protected:
    bool prepareStart() override;
};

// The setup's one watch over the installer process.
extern WaitThread installerWatch;
