#include "os/os_object.h"

#include <process.h>

bool prepareSecurity(SECURITY_ATTRIBUTES& attributes) {
    // No descriptor of our own: a null DACL would let any process of any user
    // open the object, and the setup may run elevated.
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = FALSE;
    return true;
}

OSHandle OSThread::takeThreadHandle() {
    return OSHandle(thread_.releaseShared());
}

bool OSThread::start(HANDLE startParameter) {
    if (thread_.isOpen())
        return false;
    if (!prepareSecurity(securityAttributes) || !prepareStart())
        return false;
    parameter = startParameter;
    // Created suspended and resumed only once its handle is stored, so the
    // thread never sees a handle field that is not yet set.
    const unsigned stackSize = 2048;
    uintptr_t handle = _beginthreadex(&securityAttributes, stackSize, threadEntry, this,
                                      CREATE_SUSPENDED, &threadId);
    if (!handle)
        return false;
    thread_.attach(reinterpret_cast<HANDLE>(handle));
    ResumeThread(thread_.get());
    return true;
}

unsigned __stdcall OSThread::threadEntry(void* object) {
    OSThread* thread = static_cast<OSThread*>(object);
    return thread->run(thread->parameter);
}

bool OSEvent::create() {
    if (event_.isOpen())
        return false;
    if (!prepareSecurity(securityAttributes))
        return false;
    event_.attach(CreateEventA(&securityAttributes, FALSE, FALSE, nullptr));
    return event_.isOpen();
}

WaitResult MultiWaitEvent::wait(HANDLE other, DWORD milliseconds) {
    if (!handle())
        return WaitResult::NoEvent;
    HANDLE handles[2] = {handle(), other};
    switch (WaitForMultipleObjects(2, handles, FALSE, milliseconds)) {
    case WAIT_OBJECT_0:
        return WaitResult::EventSignalled;
    case WAIT_OBJECT_0 + 1:
        return WaitResult::HandleSignalled;
    case WAIT_TIMEOUT:
        return WaitResult::Timeout;
    default:
        return WaitResult::WaitFailed;
    }
}
