#include "support/display.h"

#include "support/files.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// A virtual X server of this test process alone. Display numbers from 1000
// up, away from the ones xvfb-run picks; a server given a number that is in
// use stops, and the next is tried.
class PrivateServer {
public:
    PrivateServer(int width, int height) {
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        for (int attempt = 0; attempt < 20 && m_pid <= 0; ++attempt)
            start(1000 + int((getpid() + attempt * 7919) % 30000), screen);
        if (m_pid <= 0) return;
        // A key held down while the machine is busy must not repeat.
        if (Display* display = XOpenDisplay(nullptr)) {
            XAutoRepeatOff(display);
            XCloseDisplay(display);
        }
    }
    ~PrivateServer() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    bool running() const { return m_pid > 0; }

private:
    void start(int number, const std::string& screen) {
        int ready[2];
        if (pipe(ready) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, ready[0]);
        posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const std::string name = ":" + std::to_string(number);
        // Without -noreset the server starts afresh, refusing connections for
        // a moment, each time its last client leaves.
        const char* argv[] = {"Xvfb",    name.c_str(), "-displayfd", "3",       "-screen",
                              "0",       screen.c_str(), "-nolisten", "tcp", "-noreset",
                              nullptr};
        if (posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(ready[1]);
        // The server writes its number once it accepts clients; one that
        // cannot start closes the pipe without a word.
        std::string written;
        char c;
        while (m_pid > 0 && read(ready[0], &c, 1) == 1 && c != '\n') written += c;
        close(ready[0]);
        if (m_pid > 0 && written == std::to_string(number)) {
            setenv("DISPLAY", name.c_str(), 1);
        } else if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

    pid_t m_pid = -1;
};

// One connection for the helpers below, opened on first use.
Display* connection() {
    static Display* display = XOpenDisplay(nullptr);
    return display;
}

std::string windowTitle(Display* d, Window w) {
    std::string title;
    Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, netName, 0, 1024, False, utf8, &type, &format, &count, &after,
                           &data) == Success && data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(d, w, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

Window findByTitle(Display* d, Window w, const std::string& title) {
    if (windowTitle(d, w) == title) return w;
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < n && !found; ++i) found = findByTitle(d, children[i], title);
    if (children) XFree(children);
    return found;
}

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

} // namespace

bool usePrivateDisplay(int width, int height) {
    static PrivateServer server(width, height);
    if (server.running()) XSetErrorHandler(ignoreErrors);
    return server.running();
}

double monotonicSeconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double slowed(double seconds) {
    return seconds * TIDEWANE_TEST_SLOWDOWN;
}

Process::Process(const std::vector<std::string>& argv, const std::string& workingFolder,
                 const std::vector<std::string>& environment) {
    char pattern[] = "/tmp/tidewane-process-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    m_outPath = std::string(pattern) + ".out";
    m_errPath = std::string(pattern) + ".err";
    unlink(pattern);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(workingFolder.c_str()) != 0) _exit(127);
        int out = open(m_outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        for (const std::string& e : environment) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    m_pid = pid;
}

Process::~Process() {
    kill();
    unlink(m_outPath.c_str());
    unlink(m_errPath.c_str());
}

bool Process::running() {
    return !waitFor(0);
}

bool Process::waitFor(double seconds) {
    if (m_pid <= 0) return true;
    const double end = monotonicSeconds() + slowed(seconds);
    for (;;) {
        int status = 0;
        pid_t r = waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            m_pid = -1;
            return true;
        }
        if (monotonicSeconds() >= end) return false;
        usleep(20000);
    }
}

void Process::kill() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    waitFor(10);
}

std::string Process::out() const {
    return fileExists(m_outPath) ? readFile(m_outPath) : std::string();
}

std::string Process::err() const {
    return fileExists(m_errPath) ? readFile(m_errPath) : std::string();
}

std::string Process::report() const {
    std::string text = "standard error:\n" + err() + "\nthreads:\n";
    const std::string command = "timeout 60 gdb -p " + std::to_string(m_pid) +
                                " -batch -ex 'thread apply all bt' 2>&1";
    if (FILE* gdb = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, gdb)) > 0) text.append(buffer, n);
        pclose(gdb);
    }
    return text;
}

unsigned long waitForWindow(const std::string& title, double seconds) {
    Display* d = connection();
    if (!d) return 0;
    const double end = monotonicSeconds() + slowed(seconds);
    do {
        Window w = findByTitle(d, DefaultRootWindow(d), title);
        if (w) return w;
        usleep(50000);
    } while (monotonicSeconds() < end);
    return 0;
}

namespace {

// The window's attributes, as the server has them once every request made
// so far is done; false when there is no such window.
bool attributesOf(unsigned long window, XWindowAttributes& attributes) {
    Display* d = connection();
    if (!d) return false;
    XSync(d, False);
    return XGetWindowAttributes(d, Window(window), &attributes) != 0;
}

} // namespace

bool windowExists(unsigned long window) {
    XWindowAttributes attributes;
    return attributesOf(window, attributes);
}

bool windowViewable(unsigned long window) {
    XWindowAttributes attributes;
    return attributesOf(window, attributes) && attributes.map_state == IsViewable;
}

bool bypassesWindowManager(unsigned long window) {
    XWindowAttributes attributes;
    return attributesOf(window, attributes) && attributes.override_redirect;
}

bool requestClose(unsigned long window) {
    Display* d = connection();
    if (!d) return false;
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = Window(window);
    event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(d, Window(window), False, NoEventMask, &event);
    XFlush(d);
    return sent != 0;
}

bool pressKey(unsigned long window, const std::string& key) {
    std::string w = std::to_string(window);
    std::string command = "timeout 10 xdotool windowfocus --sync " + w + " && xdotool keydown " +
                          key + " && sleep 0.3 && xdotool keyup " + key;
    return std::system(command.c_str()) == 0;
}

Image grabScreen() {
    Display* d = connection();
    Image image;
    if (!d) return image;
    Window root = DefaultRootWindow(d);
    XWindowAttributes attributes;
    XGetWindowAttributes(d, root, &attributes);
    XImage* x = XGetImage(d, root, 0, 0, unsigned(attributes.width), unsigned(attributes.height),
                          AllPlanes, ZPixmap);
    if (!x) return image;
    image = Image(attributes.width, attributes.height);
    for (int y = 0; y < attributes.height; ++y)
        for (int col = 0; col < attributes.width; ++col) {
            unsigned long p = XGetPixel(x, col, y);
            Rgba c{uint8_t((p & x->red_mask) >> 16), uint8_t((p & x->green_mask) >> 8),
                   uint8_t(p & x->blue_mask), 255};
            image.setPixel(col, attributes.height - 1 - y, c);
        }
    XDestroyImage(x);
    return image;
}
