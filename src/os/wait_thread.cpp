#include "os/wait_thread.h"

WaitThread installerWatch;

bool WaitThread::prepareStart() {
    // The stop event exists before the thread does, so a stop can never come
    // before the event it sets. A second start reuses it.
    stopEvent.create();
    return stopEvent.handle() != nullptr;
}

uint32_t WaitThread::run(HANDLE process) {
    stopEvent.create();
    stopEvent.wait(process, INFINITE);
    // Once the handle is given up the destruction no longer waits for this
    // thread, and the object may be gone: nothing of it is read after that.
    HWND window = notifyWindow;
    takeThreadHandle().close();
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
}

WaitThread::~WaitThread() {
    // A watch that still holds its handle is still waiting: let it wake and
    // finish before its event is closed. One that has given the handle up
    // no longer touches the object. The handle is taken before the event is
    // set, or the woken watch would take it first and run on unwaited-for.
    OSHandle thread = takeThreadHandle();
    if (stopEvent.handle())
        SetEvent(stopEvent.handle());
    if (thread.isOpen())
        WaitForSingleObject(thread.get(), INFINITE);
}
