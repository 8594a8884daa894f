#pragma once
#include <windows.h>

#include <cstdint>

#include "os/handle.h"

// Thin owners of kernel objects. Each wrapper keeps the one handle it
// creates in an OSHandle, which closes it; the handle it shows is borrowed.
class OSObject {};

// Fills `attributes` for a new kernel object of the setup: the default
// security of the process and a handle that no child process inherits.
bool prepareSecurity(SECURITY_ATTRIBUTES& attributes);

class OSThread : public OSObject {
  public:
    OSThread() = default;
    OSThread(const OSThread&) = delete;
    OSThread& operator=(const OSThread&) = delete;
    virtual ~OSThread() = default;

    // Starts the thread once; false while a thread handle is held or when
    // the thread cannot be created.
    bool start(HANDLE parameter);
    virtual uint32_t run(HANDLE parameter) = 0;

    // The thread's handle while the object holds it; 0 before the start and
    // once the thread or the destruction has taken it.
    HANDLE threadHandle() const { return thread_.get(); }

    unsigned threadId = 0;
    HANDLE parameter = nullptr;
    SECURITY_ATTRIBUTES securityAttributes = {};

  protected:
    // Runs before the thread exists, on the starting thread.
    virtual bool prepareStart() { return true; }
    // Takes the thread handle out of the object, also while the other side
    // does the same: only one of the starting thread and the thread itself
    // gets it, so it is never closed twice.
    OSHandle takeThreadHandle();

  private:
    static unsigned __stdcall threadEntry(void* object);

    OSHandle thread_;
};

class OSEvent : public OSObject {
  public:
    OSEvent() = default;
    OSEvent(const OSEvent&) = delete;
    OSEvent& operator=(const OSEvent&) = delete;

    // Creates an auto-reset event, not set; false when it exists already or
    // cannot be created.
    bool create();
    // The event; 0 before create().
    HANDLE handle() const { return event_.get(); }

    SECURITY_ATTRIBUTES securityAttributes = {};

  private:
    OSHandle event_;
};

enum class WaitResult : int32_t {
    EventSignalled = 0,
    HandleSignalled = 1,
    Timeout = -1,
    NoEvent = -3,
    WaitFailed = -4,
};

class MultiWaitEvent : public OSEvent {
  public:
    // Waits for this event or `other`; when both are signalled the event wins.
    virtual WaitResult wait(HANDLE other, DWORD milliseconds);
};
