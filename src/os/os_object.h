#pragma once
#include <windows.h>

#include <cstdint>

// Thin owners of kernel objects. Each wrapper owns the one handle it
// creates, closes it when it is not 0 and sets the field back to 0.
class OSObject {};

// Fills `attributes` for a new kernel object of the setup: the default
// security of the process and a handle that no child process inherits.
bool prepareSecurity(SECURITY_ATTRIBUTES& attributes);

class OSThread : public OSObject {
  public:
    OSThread() = default;
    OSThread(const OSThread&) = delete;
    OSThread& operator=(const OSThread&) = delete;
    virtual ~OSThread();

    // Starts the thread once; false while a thread handle is held or when
    // the thread cannot be created.
    bool start(HANDLE parameter);
    virtual uint32_t run(HANDLE parameter) = 0;

    HANDLE threadHandle = nullptr;
    unsigned threadId = 0;
    HANDLE parameter = nullptr;
    SECURITY_ATTRIBUTES securityAttributes = {};

  protected:
    // Runs before the thread exists, on the starting thread.
    virtual bool prepareStart() { return true; }
    // Takes the thread handle out of the object; whoever takes it closes it,
    // so the starting thread and the thread itself never close it twice.
    HANDLE takeThreadHandle();

  private:
    static unsigned __stdcall threadEntry(void* object);
};

class OSEvent : public OSObject {
  public:
    OSEvent() = default;
    OSEvent(const OSEvent&) = delete;
    OSEvent& operator=(const OSEvent&) = delete;
    ~OSEvent();

    // Creates an auto-reset event, not set; false when it exists already or
    // cannot be created.
    bool create();
    void close();

    HANDLE handle = nullptr;
    SECURITY_ATTRIBUTES securityAttributes = {};
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
