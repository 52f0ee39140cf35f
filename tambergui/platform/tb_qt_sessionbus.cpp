#include "platform/tb_qt_sessionbus.h"

#include <dbus/dbus.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

extern char** environ;

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// The bus the bus library looks for before it runs the helper.
bool RuntimeFolderHasBus() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) {
        return false;
    }
    struct stat status;
    return ::stat((std::string(runtime) + "/bus").c_str(), &status) == 0 &&
           S_ISSOCK(status.st_mode) && status.st_uid == ::getuid();
}

}  // namespace

TB_SessionBusLookup::~TB_SessionBusLookup() {
    if (m_answer >= 0) {
        ::close(m_answer);
    }
}

bool TB_SessionBusLookup::Begin() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    bool x11 = !platform || !*platform || std::strncmp(platform, "xcb", 3) == 0;
    if (!x11 || !IsSet("DISPLAY") || IsSet("DBUS_SESSION_BUS_ADDRESS") || RuntimeFolderHasBus()) {
        return false;
    }
    char* machine = dbus_try_get_local_machine_id(nullptr);
    if (!machine) {
        return false;
    }
    std::string machineId = machine;
    dbus_free(machine);
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return false;
    }
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&files, pipeEnds[1], 1);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    // The bus it may start must not inherit the signals this program blocks for itself.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    // As the bus library runs it.
    char program[] = "dbus-launch";
    char autolaunch[] = "--autolaunch";
    char binary[] = "--binary-syntax";
    char closeStderr[] = "--close-stderr";
    char* arguments[] = {program, autolaunch, machineId.data(), binary, closeStderr, nullptr};
    int spawned = posix_spawnp(&m_helper, program, &files, &attributes, arguments, environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        m_helper = -1;
        ::close(pipeEnds[0]);
        m_unreachable = spawned == ENOENT && ::access(m_helperPlace, F_OK) != 0;
        return false;
    }
    m_answer = pipeEnds[0];
    return true;
}

void TB_SessionBusLookup::Finish() {
    if (m_answer < 0) {
        return;
    }
    // The answer is the address, a NUL, then the helper's process and window numbers.
    std::string answer;
    char buffer[512];
    bool ended = false;
    while (!ended) {
        // A helper that hangs must not hold the window back; the bus library then tries itself.
        pollfd ready{m_answer, POLLIN, 0};
        int polled = ::poll(&ready, 1, 2000);
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0) {
            break;
        }
        ssize_t got = ::read(m_answer, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            break;  // not an answer to trust
        }
        ended = got == 0;
        answer.append(buffer, static_cast<size_t>(got));
    }
    ::close(m_answer);
    m_answer = -1;
    int status = 0;
    bool succeeded = ended && ::waitpid(m_helper, &status, 0) == m_helper && WIFEXITED(status) &&
                     WEXITSTATUS(status) == 0;
    if (!ended) {
        // Given up on, not killed (it may be starting the bus), but reaped whenever it ends.
        std::thread([helper = m_helper] { ::waitpid(helper, nullptr, 0); }).detach();
    }
    m_helper = -1;
    size_t end = answer.find('\0');
    if (succeeded && end != std::string::npos && end > 0) {
        ::setenv("DBUS_SESSION_BUS_ADDRESS", answer.substr(0, end).c_str(), 0);
    }
}

void TB_SessionBusLookup::ForgoUnreachableBus() {
    if (!m_unreachable || IsSet("DBUS_SESSION_BUS_ADDRESS")) {
        return;
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    QDBusConnection::sessionBus();
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}
