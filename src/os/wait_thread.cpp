#include "os/wait_thread.h"

WaitThread installerWatch;

bool WaitThread::prepareStart() {
    // The stop event exists before the thread does, so a stop can never come
    // before the event it sets. A second start reuses it.
    stopEvent.create();
    return stopEvent.handle != nullptr;
}

uint32_t WaitThread::run(HANDLE process) {
    stopEvent.create();
    stopEvent.wait(process, INFINITE);
    if (HANDLE handle = takeThreadHandle())
        CloseHandle(handle);
    if (notifyWindow)
        PostMessageA(notifyWindow, WM_CLOSE, 0, 0);
    return 0;
}

WaitThread::~WaitThread() {
    if (stopEvent.handle)
        SetEvent(stopEvent.handle);
    // A watch that still holds its handle is still waiting: let it wake and
    // finish before its event is closed. One that has given the handle up
    // no longer touches the event.
    if (HANDLE handle = takeThreadHandle()) {
        WaitForSingleObject(handle, INFINITE);
        CloseHandle(handle);
    }
    stopEvent.close();
}
