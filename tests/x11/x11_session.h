#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_util.h"

// A private X display for one test: Xvfb on a free display number and openbox on it, both
// ended by their process ids. Available() is false when the programs are not installed.
class X11Session {
public:
    X11Session() {
        if (std::system("command -v Xvfb > /dev/null && command -v openbox > /dev/null && "
                        "command -v xdotool > /dev/null") != 0) {
            return;
        }
        // A loaded machine now and then loses a server or a window manager at start; a
        // second start is cheaper than a skipped test.
        for (int attempt = 0; attempt < 3 && !m_ready; ++attempt) {
            if (attempt > 0) {
                Stop();
            }
            Start();
        }
    }

private:
    void Start() {
        int displayPipe[2];
        if (pipe(displayPipe) != 0) {
            return;
        }
        m_xvfb = fork();
        if (m_xvfb == 0) {
            close(displayPipe[0]);
            std::string fd = std::to_string(displayPipe[1]);
            std::string log = m_temp / "xvfb.log";
            int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(out, STDERR_FILENO);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                   "-nolisten", "tcp", nullptr);
            _exit(127);
        }
        close(displayPipe[1]);
        // Xvfb writes the number of the display it took once it accepts clients, and the end
        // of the line in a second write: the pipe stays open for the whole line, or a reader
        // that closed after the number would kill the server at the second write.
        char number[32] = {};
        size_t n = 0;
        while (n < sizeof number - 1 && std::memchr(number, '\n', n) == nullptr) {
            ssize_t part = read(displayPipe[0], number + n, sizeof number - 1 - n);
            if (part <= 0) {
                break;
            }
            n += static_cast<size_t>(part);
        }
        close(displayPipe[0]);
        if (std::memchr(number, '\n', n) == nullptr) {
            return;
        }
        m_display = ":" + std::to_string(std::atoi(number));
        // openbox runs its start-up command when it manages the screen; the command writes to
        // a pipe the test waits on.
        std::string ready = m_temp / "wm-ready";
        unlink(ready.c_str());
        mkfifo(ready.c_str(), 0600);
        m_openbox = fork();
        if (m_openbox == 0) {
            setenv("DISPLAY", m_display.c_str(), 1);
            std::string log = m_temp / "openbox.log";
            int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
            std::string startup = "sh -c 'echo ready > " + ready + "'";
            execlp("openbox", "openbox", "--startup", startup.c_str(), nullptr);
            _exit(127);
        }
        // Waits for the line, or for openbox to end without writing it (then the display is
        // unusable); the bound only guards against a window manager that hangs.
        int wait = open(ready.c_str(), O_RDONLY | O_NONBLOCK);
        for (int second = 0; wait >= 0 && second < 60 && !m_ready; ++second) {
            pollfd item{wait, POLLIN, 0};
            if (poll(&item, 1, 1000) > 0) {
                char line[16];
                m_ready = read(wait, line, sizeof line) > 0;
            }
            if (!m_ready && waitpid(m_openbox, nullptr, WNOHANG) == m_openbox) {
                m_openbox = -1;
                break;
            }
        }
        if (wait >= 0) {
            close(wait);
        }
    }
    void Stop() {
        for (pid_t* pid : {&m_openbox, &m_xvfb}) {
            if (*pid > 0) {
                kill(*pid, SIGTERM);
                waitpid(*pid, nullptr, 0);
            }
            *pid = -1;
        }
    }

public:
    ~X11Session() { Stop(); }
    X11Session(const X11Session&) = delete;
    X11Session& operator=(const X11Session&) = delete;

    bool Available() const { return m_ready; }
    // What the server and the window manager said, for a test that cannot run.
    std::string Why() const {
        return "Xvfb: " + ReadFile(m_temp / "xvfb.log") +
               "\nopenbox: " + ReadFile(m_temp / "openbox.log");
    }
    // An xdotool step that moves the pointer to (x, y) and waits until it got there; nothing
    // when it is there already, where "mousemove --sync" would wait for a move that never comes.
    std::string MoveTo(int x, int y) {
        if (x == m_pointerX && y == m_pointerY) {
            return " ";
        }
        m_pointerX = x;
        m_pointerY = y;
        return " mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " ";
    }
    // Gives every character of the text outside ASCII a key of its own in the display's
    // keymap, so that xdotool types it as a plain key. Otherwise xdotool binds it to a spare
    // key only for the press, and a program that reads the press after the key was taken
    // back gets nothing, or the next character. False without xmodmap.
    bool BindKeys(const std::string& text) {
        std::string command = "xmodmap";
        for (size_t at = 0; at < text.size();) {
            unsigned char lead = static_cast<unsigned char>(text[at]);
            size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
            for (size_t i = 1; i < length && at + i < text.size(); ++i) {
                code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
            }
            at += length;
            if (code < 0x80 || m_bound.find(code) != std::u32string::npos) {
                continue;
            }
            // From the top of the keycode range down: keys no keyboard of a test presses.
            int keycode = 255 - static_cast<int>(m_bound.size());
            m_bound.push_back(code);
            char keysym[16];
            std::snprintf(keysym, sizeof keysym, "U%04X", static_cast<unsigned>(code));
            command +=
                " -e 'keycode " + std::to_string(keycode) + " = " + keysym + " " + keysym + "'";
        }
        return command == "xmodmap" || Run(command) == 0;
    }
    const std::string& Display() const { return m_display; }
    // Runs an X client command on the display (xdotool ...); its exit status.
    int Run(const std::string& command) const {
        bool redirected = command.find(" > ") != std::string::npos;
        // xdotool's --sync waits without end for a change that may never come.
        std::string line = "DISPLAY=" + m_display + " timeout 30 " + command +
                           (redirected ? "" : " > /dev/null") + " 2>/dev/null";
        // A search that waits for its window ends with 1 only when X refused a request on
        // the way (a window destroyed while xdotool walked the tree): it looks again.
        bool waits = command.find("search --sync") != std::string::npos;
        for (int attempt = 0;; ++attempt) {
            int status = std::system(line.c_str());
            int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            if (code != 1 || !waits || attempt == 20) {
                return code;
            }
        }
    }

private:
    TempFolder m_temp;
    pid_t m_xvfb = -1;
    pid_t m_openbox = -1;
    std::string m_display;
    bool m_ready = false;
    int m_pointerX = -1;
    int m_pointerY = -1;
    std::u32string m_bound;  // characters given keys, the first on keycode 255
};

// A program of ours running on the session's display, its output read line by line.
class X11Program {
public:
    X11Program(const X11Session& session, const std::string& program,
               const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment) {
        int out[2];
        if (pipe(out) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(out[1], STDERR_FILENO);
            close(out[0]);
            close(out[1]);
            setenv("DISPLAY", session.Display().c_str(), 1);
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            for (const std::string& assignment : environment) {
                putenv(const_cast<char*>(assignment.c_str()));
            }
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const std::string& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        m_out = out[0];
    }
    ~X11Program() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0) {
            close(m_out);
        }
    }
    X11Program(const X11Program&) = delete;
    X11Program& operator=(const X11Program&) = delete;

    // Reads output until a line not yet passed contains the text; false at the end of the
    // output or after the time limit (so a program that hangs fails the test, not the run).
    bool WaitFor(const std::string& text, int seconds = 30) {
        for (int waited = 0;;) {
            size_t found = Output.find(text, m_passed);
            if (found != std::string::npos) {
                size_t end = Output.find('\n', found + text.size() - (text == "\n" ? 1 : 0));
                m_passed = end == std::string::npos ? Output.size() : end + 1;
                return true;
            }
            if (m_out < 0 || waited >= seconds * 10) {
                return false;
            }
            pollfd item{m_out, POLLIN, 0};
            if (poll(&item, 1, 100) <= 0) {
                ++waited;
                continue;
            }
            char chunk[4096];
            ssize_t n = read(m_out, chunk, sizeof chunk);
            if (n <= 0) {
                close(m_out);
                m_out = -1;
                continue;  // one last look at what arrived
            }
            Output.append(chunk, static_cast<size_t>(n));
        }
    }
    void Signal(int signal) const { kill(m_pid, signal); }
    pid_t Pid() const { return m_pid; }
    // Waits for the end; the exit status, or 1000 + the signal.
    // A program that has not ended 30 s after its output did is killed, so that a hang
    // fails its test instead of holding the run.
    int Wait() {
        while (WaitFor("\n")) {
        }
        int status = 0;
        for (int tenth = 0; waitpid(m_pid, &status, WNOHANG) == 0; ++tenth) {
            if (tenth == 300) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                break;
            }
            poll(nullptr, 0, 100);
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }

    std::string Output;

private:
    pid_t m_pid = -1;
    int m_out = -1;
    size_t m_passed = 0;  // output before this was matched already
};

// A wait of an X11 test ran out: the failure is recorded with what was seen, and the test
// stops here (GoogleTest ends the test on the exception) instead of going on from a state it
// did not reach.
[[noreturn]] inline void X11WaitRanOut(const std::string& seen) {
    ADD_FAILURE() << seen;
    throw std::runtime_error("a wait for the program's state ran out");
}

// Waits, with a drag held over the drop target program at (x, y), until the source has had
// the target's answer: the target says "over" for each position, and the source reports a
// new one only once the last was answered. A release before that answer cancels the drop.
inline bool DropTargetAnswered(X11Session& session, X11Program& target, int x, int y) {
    return target.WaitFor("over") && session.Run("xdotool" + session.MoveTo(x + 1, y)) == 0 &&
           target.WaitFor("over");
}

// The widget with the Id anywhere in a UI dump, or null.
inline const rapidjson::Value* FindId(const rapidjson::Value& node, const char* id) {
    if (node.IsObject() && node.HasMember("Id") && std::string(node["Id"].GetString()) == id) {
        return &node;
    }
    for (const char* list : {"Windows", "Children"}) {
        if (node.IsObject() && node.HasMember(list)) {
            for (const auto& child : node[list].GetArray()) {
                if (const rapidjson::Value* found = FindId(child, id)) {
                    return found;
                }
            }
        }
    }
    return nullptr;
}

// Asks a program started with LUMOVOX_UI_DUMP=path for its window tree; an empty document
// when it did not answer.
inline rapidjson::Document DumpOf(X11Program& program, const std::string& path) {
    rapidjson::Document dump;
    program.Signal(SIGUSR1);
    if (program.WaitFor("UI dump written")) {
        dump.Parse(ReadFile(path).c_str());
    }
    if (dump.HasParseError() || !dump.IsObject()) {
        dump.SetObject();
    }
    return dump;
}

// The middle of a widget on the screen.
inline std::pair<int, int> CentreOf(const rapidjson::Value& widget) {
    const auto& b = widget["ScreenBounds"];
    return {static_cast<int>(b[0].GetDouble() + b[2].GetDouble() / 2),
            static_cast<int>(b[1].GetDouble() + b[3].GetDouble() / 2)};
}
