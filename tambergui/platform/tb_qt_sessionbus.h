#pragma once

#include <sys/types.h>

// Where no session bus address is in the environment, the bus library finds the bus by running
// dbus-launch through the display, again for every connection, and the screen reader bridge's
// connection waits for it while the first window is built. The same lookup runs here beside
// the toolkit's start; its answer goes into the environment, where the bridge's connection
// (and any program started from here) finds it at once.
class TB_SessionBusLookup {
public:
    // HELPER: where the bus library looks for the helper before it searches the PATH.
    explicit TB_SessionBusLookup(const char* helper = "/usr/bin/dbus-launch")
        : m_helperPlace(helper) {}
    TB_SessionBusLookup(const TB_SessionBusLookup&) = delete;
    TB_SessionBusLookup& operator=(const TB_SessionBusLookup&) = delete;
    ~TB_SessionBusLookup();

    // Starts the helper when the bus library would run it (an X display, no address set, no
    // bus at the user's runtime folder); false when there is nothing to look up or it could
    // not be started.
    bool Begin();
    // Waits for the helper's answer and sets DBUS_SESSION_BUS_ADDRESS from it. The environment
    // is written: call it while no other thread of the program reads it. Without an answer the
    // bus library later looks for itself, as it would have.
    void Finish();
    // True when the bus library, looking for itself, would find no bus: it would run the
    // helper, and there is none where it looks.
    bool Unreachable() const { return m_unreachable; }
    // Where no bus can be reached, the bus library would still fork the whole program to look
    // for the helper at the first connection (the screen reader bridge's, while the window is
    // built). Qt keeps the outcome of its first session connection, so that connection is made
    // here against an address that fails at once, and the environment is put back as given.
    // Needs the application object, and writes the environment as Finish does; nothing happens
    // where a bus may be reachable.
    void ForgoUnreachableBus();

private:
    const char* m_helperPlace;
    pid_t m_helper = -1;
    int m_answer = -1;
    bool m_unreachable = false;
};
