// The kernel-object wrappers and the installer watch: wait results, the
// WM_CLOSE that ends a watch, the stop event, the hand-over of the thread
// handle and the security of the objects.
#include <windows.h>

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "os/wait_thread.h"

namespace {

// A hidden window of the test thread that counts the WM_CLOSE it receives
// and does not go away on it.
class CloseCounter {
  public:
    CloseCounter() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "WatchTestWindow";
        RegisterClassA(&windowClass); // fails harmlessly when registered already
        window = CreateWindowExA(0, "WatchTestWindow", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    CloseCounter(const CloseCounter&) = delete;
    CloseCounter& operator=(const CloseCounter&) = delete;
    ~CloseCounter() { DestroyWindow(window); }

    HWND window;
    int closes = 0;
    int closesWithParameters = 0; // a WM_CLOSE whose wParam or lParam is not 0

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CLOSE) {
            auto* counter =
                reinterpret_cast<CloseCounter*>(GetWindowLongPtrA(window, GWLP_USERDATA));
            if (counter) {
                ++counter->closes;
                if (wParam != 0 || lParam != 0)
                    ++counter->closesWithParameters;
            }
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
};

// Dispatches the messages of this thread for `milliseconds`, or until
// `counter` has seen `closes` of them.
void pump(DWORD milliseconds, const CloseCounter* counter = nullptr, int closes = 0) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        if (counter && counter->closes >= closes)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }
}

HANDLE newEvent(bool manualReset, bool set) {
    return CreateEventA(nullptr, manualReset, set, nullptr);
}

// A handle of our own to the watch thread, to see it end and read its
// exit code.
HANDLE openWatchThread(const WaitThread& watch) {
    return OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, watch.threadId);
}

bool ended(HANDLE thread, DWORD milliseconds) {
    return WaitForSingleObject(thread, milliseconds) == WAIT_OBJECT_0;
}

// True when the object's DACL is present and null, which lets everybody
// do anything with it.
bool hasNullDacl(HANDLE object, std::string& failure) {
    char descriptor[1024];
    DWORD needed = 0;
    if (!GetKernelObjectSecurity(object, DACL_SECURITY_INFORMATION, descriptor, sizeof(descriptor),
                                 &needed)) {
        failure = "GetKernelObjectSecurity failed: " + std::to_string(GetLastError());
        return false;
    }
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
        failure = "GetSecurityDescriptorDacl failed";
        return false;
    }
    return present && dacl == nullptr;
}

bool inheritable(HANDLE object) {
    DWORD flags = 0;
    return GetHandleInformation(object, &flags) && (flags & HANDLE_FLAG_INHERIT) != 0;
}

// The smallest handle value that is free: the system hands out the lowest
// free slot, so a leaked handle moves it.
HANDLE lowestFreeHandle() {
    HANDLE probe = newEvent(false, false);
    CloseHandle(probe);
    return probe;
}

TEST(MultiWaitEvent, WithoutItsEventReturnsNoEventAtOnce) {
    MultiWaitEvent event;
    HANDLE other = newEvent(true, false);
    DWORD start = GetTickCount();
    EXPECT_EQ(event.wait(other, 3000), WaitResult::NoEvent);
    EXPECT_LT(GetTickCount() - start, 1000u);
    CloseHandle(other);
}

TEST(MultiWaitEvent, IsCreatedOnceAutomaticResetAndNotSet) {
    MultiWaitEvent event;
    ASSERT_TRUE(event.create());
    HANDLE created = event.handle();
    ASSERT_NE(created, nullptr);
    EXPECT_FALSE(event.create());
    EXPECT_EQ(event.handle(), created);

    HANDLE other = newEvent(true, false);
    DWORD start = GetTickCount();
    EXPECT_EQ(event.wait(other, 100), WaitResult::Timeout);
    EXPECT_GE(GetTickCount() - start, 80u);

    ASSERT_TRUE(SetEvent(event.handle()));
    EXPECT_EQ(event.wait(other, 0), WaitResult::EventSignalled);
    // Automatic reset: the wait consumed the signal.
    EXPECT_EQ(event.wait(other, 0), WaitResult::Timeout);
    CloseHandle(other);
}

TEST(MultiWaitEvent, ItsOwnEventWinsWhenBothAreSignalled) {
    MultiWaitEvent event;
    ASSERT_TRUE(event.create());
    HANDLE other = newEvent(true, true);

    ASSERT_TRUE(SetEvent(event.handle()));
    EXPECT_EQ(event.wait(other, INFINITE), WaitResult::EventSignalled);
    EXPECT_EQ(event.wait(other, INFINITE), WaitResult::HandleSignalled);
    CloseHandle(other);
}

DWORD WINAPI takeAndAbandon(void* mutex) {
    WaitForSingleObject(static_cast<HANDLE>(mutex), INFINITE);
    return 0;
}

TEST(MultiWaitEvent, AnyOtherEndIsAFailedWait) {
    MultiWaitEvent event;
    ASSERT_TRUE(event.create());

    // A mutex whose owner ended without releasing it is abandoned.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    HANDLE owner = CreateThread(nullptr, 0, takeAndAbandon, mutex, 0, nullptr);
    ASSERT_TRUE(ended(owner, 5000));
    CloseHandle(owner);
    EXPECT_EQ(event.wait(mutex, 1000), WaitResult::WaitFailed);
    CloseHandle(mutex);

    HANDLE closed = newEvent(true, true);
    CloseHandle(closed);
    EXPECT_EQ(event.wait(closed, 1000), WaitResult::WaitFailed);
}

TEST(InstallerWatch, PostsOneCloseWhenTheProcessEndsAndLeavesItsHandleOpen) {
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_GT(length, 0u);
    std::string commandLine = std::string(system, length) + "\\cmd.exe /c exit 7";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &process));

    CloseCounter counter;
    {
        WaitThread watch;
        watch.notifyWindow = counter.window;
        ASSERT_TRUE(watch.start(process.hProcess));
        EXPECT_EQ(watch.parameter, process.hProcess);
        HANDLE thread = openWatchThread(watch);
        ASSERT_NE(thread, nullptr);
        ResumeThread(process.hThread);

        pump(20000, &counter, 1);
        ASSERT_TRUE(ended(thread, 5000));
        DWORD threadExit = 1;
        EXPECT_TRUE(GetExitCodeThread(thread, &threadExit));
        EXPECT_EQ(threadExit, 0u);
        EXPECT_EQ(watch.threadHandle(), nullptr);
        CloseHandle(thread);
    }
    pump(300);
    EXPECT_EQ(counter.closes, 1);
    EXPECT_EQ(counter.closesWithParameters, 0);

    // The watch borrowed the process handle and left it open.
    DWORD processExit = 0;
    EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &processExit));
    EXPECT_EQ(processExit, 7u);
    HANDLE copy = nullptr;
    EXPECT_TRUE(DuplicateHandle(GetCurrentProcess(), process.hProcess, GetCurrentProcess(), &copy,
                                0, FALSE, DUPLICATE_SAME_ACCESS));
    CloseHandle(copy);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

TEST(InstallerWatch, WithoutWindowPostsNothingAndStillEnds) {
    CloseCounter counter;
    HANDLE installer = newEvent(true, false);
    WaitThread watch;
    ASSERT_TRUE(watch.start(installer));
    HANDLE thread = openWatchThread(watch);
    ASSERT_NE(thread, nullptr);
    SetEvent(installer);

    ASSERT_TRUE(ended(thread, 5000));
    DWORD threadExit = 1;
    EXPECT_TRUE(GetExitCodeThread(thread, &threadExit));
    EXPECT_EQ(threadExit, 0u);
    EXPECT_EQ(watch.threadHandle(), nullptr);
    pump(300);
    EXPECT_EQ(counter.closes, 0);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    CloseHandle(thread);
    CloseHandle(installer);
}

TEST(InstallerWatch, StopEventEndsTheWait) {
    CloseCounter counter;
    HANDLE installer = newEvent(true, false);
    WaitThread watch;
    watch.notifyWindow = counter.window;
    ASSERT_TRUE(watch.start(installer));
    HANDLE thread = openWatchThread(watch);
    ASSERT_NE(thread, nullptr);
    pump(200);
    EXPECT_EQ(counter.closes, 0) << "the watch ended before anything was signalled";

    ASSERT_TRUE(SetEvent(watch.stopEvent.handle()));
    pump(5000, &counter, 1);
    EXPECT_TRUE(ended(thread, 5000));
    pump(200);
    EXPECT_EQ(counter.closes, 1);
    EXPECT_EQ(WaitForSingleObject(installer, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(thread);
    CloseHandle(installer);
}

TEST(InstallerWatch, DestructionStopsAWaitingWatchAndWaitsForIt) {
    CloseCounter counter;
    HANDLE installer = newEvent(true, false);
    const int rounds = 20;
    for (int round = 0; round < rounds; ++round) {
        WaitThread* watch = new WaitThread;
        watch->notifyWindow = counter.window;
        ASSERT_TRUE(watch->start(installer));
        HANDLE thread = openWatchThread(*watch);
        ASSERT_NE(thread, nullptr);
        Sleep(20);

        delete watch;
        EXPECT_TRUE(ended(thread, 0)) << "round " << round << ": the destruction returned "
                                      << "while the watch still ran";
        CloseHandle(thread);
    }
    pump(2000, &counter, rounds);
    pump(300);
    EXPECT_EQ(counter.closes, rounds);
    CloseHandle(installer);
}

TEST(InstallerWatch, SecondStartWhileRunningIsRefusedAndChangesNothing) {
    CloseCounter counter;
    HANDLE first = newEvent(true, false);
    HANDLE second = newEvent(true, false);
    WaitThread watch;
    watch.notifyWindow = counter.window;
    ASSERT_TRUE(watch.start(first));
    HANDLE threadHandle = watch.threadHandle();
    unsigned threadId = watch.threadId;

    EXPECT_FALSE(watch.start(second));
    EXPECT_EQ(watch.threadHandle(), threadHandle);
    EXPECT_EQ(watch.threadId, threadId);
    EXPECT_EQ(watch.parameter, first);

    // The running watch still waits for the first handle only.
    SetEvent(second);
    pump(300);
    EXPECT_EQ(counter.closes, 0);
    SetEvent(first);
    pump(5000, &counter, 1);
    EXPECT_EQ(counter.closes, 1);
    CloseHandle(first);
    CloseHandle(second);
}

TEST(InstallerWatch, EndedWatchStartsAgainWithItsStopEvent) {
    CloseCounter counter;
    HANDLE installer = newEvent(true, true);
    WaitThread watch;
    watch.notifyWindow = counter.window;
    ASSERT_TRUE(watch.start(installer));
    HANDLE stopEvent = watch.stopEvent.handle();
    ASSERT_NE(stopEvent, nullptr);
    pump(5000, &counter, 1);
    ASSERT_EQ(counter.closes, 1);
    ASSERT_EQ(watch.threadHandle(), nullptr);

    ASSERT_TRUE(watch.start(installer));
    EXPECT_EQ(watch.stopEvent.handle(), stopEvent);
    pump(5000, &counter, 2);
    EXPECT_EQ(counter.closes, 2);
    CloseHandle(installer);
}

TEST(InstallerWatch, ThreadAndStopEventHaveNoNullDaclAndAreNotInherited) {
    HANDLE installer = newEvent(true, false);
    WaitThread watch;
    ASSERT_TRUE(watch.start(installer));
    // Both exist as soon as start returns, and the thread keeps its handle
    // while it waits.
    ASSERT_NE(watch.threadHandle(), nullptr);
    ASSERT_NE(watch.stopEvent.handle(), nullptr);

    std::string failure;
    EXPECT_FALSE(hasNullDacl(watch.threadHandle(), failure));
    EXPECT_EQ(failure, "");
    EXPECT_FALSE(hasNullDacl(watch.stopEvent.handle(), failure));
    EXPECT_EQ(failure, "");
    EXPECT_FALSE(inheritable(watch.threadHandle()));
    EXPECT_FALSE(inheritable(watch.stopEvent.handle()));

    MultiWaitEvent event;
    ASSERT_TRUE(event.create());
    EXPECT_FALSE(hasNullDacl(event.handle(), failure));
    EXPECT_EQ(failure, "");
    EXPECT_FALSE(inheritable(event.handle()));

    SetEvent(installer);
    CloseHandle(installer);
}

// Start, end and destroy a watch many times, in the three ways it can end:
// the installer ended before the start, just after it, or not at all (the
// destruction stops it). Every thread handle must be closed exactly once.
TEST(InstallerWatch, RepeatedStartEndAndDestroyClosesEachHandleOnce) {
    CloseCounter counter;
    {
        // Whatever the first watch and message make the system allocate.
        HANDLE installer = newEvent(true, true);
        WaitThread watch;
        watch.notifyWindow = counter.window;
        watch.start(installer);
        pump(5000, &counter, 1);
        CloseHandle(installer);
    }
    counter.closes = 0;
    HANDLE lowestFree = lowestFreeHandle();

    const int rounds = 200;
    int canariesLost = 0;
    for (int round = 0; round < rounds; ++round) {
        HANDLE installer = newEvent(true, round % 3 == 0);
        HANDLE canary = nullptr;
        {
            WaitThread watch;
            watch.notifyWindow = counter.window;
            ASSERT_TRUE(watch.start(installer)) << round;
            if (round % 3 == 1)
                SetEvent(installer);
            if (round % 3 != 2) {
                pump(5000, &counter, round + 1);
                ASSERT_EQ(counter.closes, round + 1) << round;
                // The watch has closed its thread handle; the canary most
                // likely takes its value. A second close would hit it.
                canary = newEvent(true, false);
            }
        }
        if (round % 3 == 2) {
            pump(5000, &counter, round + 1);
            ASSERT_EQ(counter.closes, round + 1) << round;
        }
        if (canary) {
            DWORD flags = 0;
            if (!GetHandleInformation(canary, &flags))
                ++canariesLost;
            else
                CloseHandle(canary);
        }
        CloseHandle(installer);
    }
    pump(300);
    EXPECT_EQ(counter.closes, rounds);
    EXPECT_EQ(canariesLost, 0);
    EXPECT_EQ(lowestFreeHandle(), lowestFree) << "handles were leaked";
}

// A watch woken while it is being destroyed must not touch the object once
// the destruction has returned: its memory then belongs to somebody else.
// Half the rounds destroy a watch that waits, half one whose installer has
// already ended.
TEST(InstallerWatch, WatchEndingDuringDestructionUsesOnlyItsOwnObject) {
    CloseCounter owner;
    CloseCounter stranger;
    alignas(WaitThread) unsigned char memory[sizeof(WaitThread)];

    const int rounds = 300;
    for (int round = 0; round < rounds; ++round) {
        HANDLE installer = newEvent(true, round % 2 == 0);
        WaitThread* watch = new (memory) WaitThread;
        watch->notifyWindow = owner.window;
        ASSERT_TRUE(watch->start(installer));
        if (round % 2 == 1)
            Sleep(5);
        watch->~WaitThread();
        // The memory is used again at once, by a watch of another window.
        WaitThread* next = new (memory) WaitThread;
        next->notifyWindow = stranger.window;
        Sleep(2);
        next->~WaitThread();
        CloseHandle(installer);
    }
    pump(2000, &owner, rounds);
    pump(300);
    EXPECT_EQ(owner.closes, rounds);
    EXPECT_EQ(stranger.closes, 0);
}

} // namespace
