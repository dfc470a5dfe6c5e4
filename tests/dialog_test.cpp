// The launcher dialog on a real display (the virtual X server of the test
// run), driven by key presses from xdotool, both inside this process and as
// the first thing the built program shows.

#include "dialog.h"
#include "launcher.h"
#include "support/display.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <gtk/gtk.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <clocale>
#include <fcntl.h>
#include <cstdlib>
#include <csignal>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

class OnPrivateDisplay : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(usePrivateDisplay()) << "cannot start Xvfb"; }
};

const auto* const g_display = ::testing::AddGlobalTestEnvironment(new OnPrivateDisplay);

// Waits (at most 20 s) for the dialog to be on the screen, gives it the
// keyboard focus and types `keys` (xdotool key names).
std::string keyScript(const std::string& keys) {
    return "w=$(timeout 20 xdotool search --sync --onlyvisible --name '^Velk demo launcher$'"
           " | head -n1)\n"
           "[ -n \"$w\" ] || exit 3\n"
           "timeout 10 xdotool windowfocus --sync \"$w\" || exit 4\n" +
           (keys.empty() ? std::string() : "xdotool key --delay 40 " + keys + " || exit 5\n");
}

// A shell script running in the background.
class Background {
public:
    explicit Background(const std::string& script) {
        const char* argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
        if (posix_spawn(&m_pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            m_pid = -1;
    }
    ~Background() { wait(); }
    // Exit status of the script; every step of the scripts above is bounded.
    int wait() {
        if (m_pid > 0) {
            int status = 0;
            waitpid(m_pid, &status, 0);
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            m_pid = -1;
        }
        return m_status;
    }

private:
    pid_t m_pid = -1;
    int m_status = -1;
};

// The toolkit is started the way the program starts it, but with a locale
// in the environment, so that a switch of the process locale would show.
void startToolkit() {
    setenv("LC_ALL", "C.UTF-8", 1);
    ASSERT_TRUE(startDialogToolkit());
}

GtkWindow* findDialog() {
    GtkWindow* found = nullptr;
    GList* all = gtk_window_list_toplevels();
    for (GList* i = all; i; i = i->next) {
        const char* title = gtk_window_get_title(GTK_WINDOW(i->data));
        if (title && std::string(title) == kLauncherTitle &&
            gtk_widget_get_mapped(GTK_WIDGET(i->data)))
            found = GTK_WINDOW(i->data);
    }
    g_list_free(all);
    return found;
}

// Closes a dialog left open by a test that went wrong, so that no test can
// wait for ever; `fired` tells the test.
gboolean closeForgottenDialog(gpointer fired) {
    *static_cast<bool*>(fired) = true;
    if (GtkWindow* dialog = findDialog()) gtk_window_close(dialog);
    return G_SOURCE_CONTINUE;
}

// Runs the launcher in this process while `keys` are typed into it.
int launchWithKeys(LaunchSettings* settings, const std::string& keys) {
    startToolkit();
    Background typist(keyScript(keys));
    bool fired = false;
    guint guard = g_timeout_add_seconds(60, closeForgottenDialog, &fired);
    int result = runLauncher(settings);
    g_source_remove(guard);
    EXPECT_EQ(typist.wait(), 0) << "the key presses did not reach the dialog";
    EXPECT_FALSE(fired) << "the dialog stayed open";
    EXPECT_EQ(findDialog(), nullptr) << "the dialog is still on the screen";
    return result;
}

std::vector<ScreenSize> listedSizes(const LaunchSettings& settings) {
    return LauncherState(settings, primaryDisplayModes()).sizes();
}

bool sameRecord(const LaunchSettings& a, const LaunchSettings& b) {
    return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel &&
           a.windowed == b.windowed && a.optionA == b.optionA && a.optionB == b.optionB &&
           a.windowedOption == b.windowedOption && a.instance == b.instance;
}

// A size no display offers, so that nothing is preselected.
LaunchSettings unlistedSize() {
    LaunchSettings s = defaultLaunchSettings();
    s.width = 7;
    s.height = 5;
    return s;
}

} // namespace

TEST(LauncherDialogToolkit, StartsWithoutChangingTheProcessLocale) {
    startToolkit();
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
}

TEST(LauncherDialogKeys, EnterConfirmsTheSelectedSizeAndAWindow) {
    LaunchSettings s = defaultLaunchSettings();
    std::vector<ScreenSize> sizes = listedSizes(s);
    ASSERT_FALSE(sizes.empty()) << "the display lists no size at 32 bits per pixel";
    s.width = sizes.back().width;
    s.height = sizes.back().height;
    EXPECT_EQ(launchWithKeys(&s, "Return"), 1);
    EXPECT_EQ(s.width, sizes.back().width);
    EXPECT_EQ(s.height, sizes.back().height);
    EXPECT_EQ(s.windowed, 1);
    EXPECT_EQ(s.optionA, 0);
    EXPECT_EQ(s.optionB, 0);
    EXPECT_EQ(s.windowedOption, 0);
}

TEST(LauncherDialogKeys, TabGoesRunCancelListBoxAndEnterUsesTheChoice) {
    // Tab to the list, Down picks the first item, Tab to the box, Space
    // checks it, Tab comes round to Run, Enter runs.
    LaunchSettings s = unlistedSize();
    std::vector<ScreenSize> sizes = listedSizes(s);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(launchWithKeys(&s, "Tab Tab Down Tab space Tab Return"), 1);
    EXPECT_EQ(s.width, sizes.front().width);
    EXPECT_EQ(s.height, sizes.front().height);
    EXPECT_EQ(s.windowed, 0);

    // Backwards from Run: the box, the list, then Cancel, which Enter
    // activates when it has the focus.
    LaunchSettings back = defaultLaunchSettings();
    const LaunchSettings before = back;
    EXPECT_EQ(launchWithKeys(&back, "shift+Tab space shift+Tab shift+Tab Return"), 0);
    EXPECT_TRUE(sameRecord(back, before));
}

TEST(LauncherDialogKeys, EscapeCancelsAndLeavesTheRecordAsItWas) {
    LaunchSettings s = defaultLaunchSettings();
    std::vector<ScreenSize> sizes = listedSizes(s);
    ASSERT_FALSE(sizes.empty());
    s.windowed = 0;
    s.optionB = 1;
    const LaunchSettings before = s;
    // The changes made before Escape are dropped.
    EXPECT_EQ(launchWithKeys(&s, "Tab Tab Down Tab space Escape"), 0);
    EXPECT_TRUE(sameRecord(s, before));
}

namespace {

// The dialog as it looked on the screen, and where its controls were.
struct Snapshot {
    bool found = false;
    bool taken = false;
    int width = 0, height = 0;
    GdkPixbuf* picture = nullptr;
    std::vector<std::pair<std::string, GdkRectangle>> controls;  // by text or kind
    std::string listText;
    bool runHasFocus = false;
};

void collectControls(GtkWidget* widget, Snapshot* shot) {
    std::string name;
    if (GTK_IS_COMBO_BOX_TEXT(widget)) {
        name = "list";
        gchar* text = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(widget));
        shot->listText = text ? text : "";
        g_free(text);
    } else if (GTK_IS_CHECK_BUTTON(widget)) {
        name = "box";
    } else if (GTK_IS_BUTTON(widget)) {
        name = gtk_button_get_label(GTK_BUTTON(widget));
        if (name == "Run") shot->runHasFocus = gtk_widget_has_focus(widget);
    } else if (GTK_IS_LABEL(widget)) {
        name = gtk_label_get_text(GTK_LABEL(widget));
    } else if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* i = children; i; i = i->next) collectControls(GTK_WIDGET(i->data), shot);
        g_list_free(children);
        return;
    }
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    shot->controls.push_back({name, a});
}

// Asks the window system to close the window, as its close box does.
void pressCloseBox(GtkWindow* dialog) {
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(dialog));
    Display* display = GDK_WINDOW_XDISPLAY(window);
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = GDK_WINDOW_XID(window);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, GDK_WINDOW_XID(window), False, NoEventMask, &event);
    XFlush(display);
}

gboolean takeSnapshot(gpointer data) {
    Snapshot* shot = static_cast<Snapshot*>(data);
    GtkWindow* dialog = findDialog();
    if (!dialog || shot->taken) return G_SOURCE_REMOVE;
    shot->taken = true;
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(dialog));
    shot->width = gdk_window_get_width(window);
    shot->height = gdk_window_get_height(window);
    shot->picture = gdk_pixbuf_get_from_window(window, 0, 0, shot->width, shot->height);
    collectControls(GTK_WIDGET(dialog), shot);
    pressCloseBox(dialog);
    return G_SOURCE_REMOVE;
}

void afterDraw(GtkWidget* widget, cairo_t*, gpointer data) {
    // Grabbed once the drawing has reached the window.
    g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(afterDraw), data);
    g_idle_add(takeSnapshot, data);
}

// Waits for the dialog to be mapped, then has it drawn afresh and grabbed.
gboolean watchForDialog(gpointer data) {
    GtkWindow* dialog = findDialog();
    if (!dialog) return G_SOURCE_CONTINUE;
    static_cast<Snapshot*>(data)->found = true;
    g_signal_connect_after(dialog, "draw", G_CALLBACK(afterDraw), data);
    gtk_widget_queue_draw(GTK_WIDGET(dialog));
    return G_SOURCE_REMOVE;
}

} // namespace

TEST(LauncherDialogLook, CompactLayoutPreselectionAndCloseBox) {
    startToolkit();
    LaunchSettings s = defaultLaunchSettings();
    std::vector<ScreenSize> sizes = listedSizes(s);
    ASSERT_FALSE(sizes.empty());
    s.width = sizes.front().width;
    s.height = sizes.front().height;
    s.windowed = 0;
    const LaunchSettings before = s;

    Snapshot shot;
    bool fired = false;
    guint watch = g_timeout_add(20, watchForDialog, &shot);
    guint guard = g_timeout_add_seconds(60, closeForgottenDialog, &fired);
    const int result = runLauncher(&s);
    g_source_remove(guard);
    if (!shot.found) g_source_remove(watch);
    ASSERT_TRUE(shot.taken);
    ASSERT_FALSE(fired);

    // The close box cancels.
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(sameRecord(s, before));

    ASSERT_NE(shot.picture, nullptr);
    GError* error = nullptr;
    EXPECT_TRUE(gdk_pixbuf_save(shot.picture, "launcher.png", "png", &error, nullptr));
    if (error) g_error_free(error);
    g_object_unref(shot.picture);

    // A small dialog, not a large window (the layout is 240 by 70 units of
    // an 8-point font, about 360 by 114 pixels).
    EXPECT_GE(shot.width, 300);
    EXPECT_LE(shot.width, 440);
    EXPECT_GE(shot.height, 95);
    EXPECT_LE(shot.height, 150);

    std::vector<std::string> names;
    for (const auto& c : shot.controls) names.push_back(c.first);
    std::vector<std::string> expected = {"Run", "Cancel", "Resolution :", "list",
                                         "Fullscreen :", "box", "Velk :: Tidewane"};
    EXPECT_EQ(names, expected);
    // Every control lies inside the dialog and none covers another.
    for (size_t i = 0; i < shot.controls.size(); ++i) {
        const GdkRectangle& a = shot.controls[i].second;
        EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.width <= shot.width &&
                    a.y + a.height <= shot.height)
            << shot.controls[i].first << " reaches outside the dialog";
        for (size_t j = i + 1; j < shot.controls.size(); ++j)
            EXPECT_FALSE(gdk_rectangle_intersect(&a, &shot.controls[j].second, nullptr))
                << shot.controls[i].first << " covers " << shot.controls[j].first;
    }
    EXPECT_EQ(shot.listText, LauncherState(s, {{s.width, s.height, 32}}).itemText(0));
    EXPECT_TRUE(shot.runHasFocus);
}

namespace {

struct CreatedWindow {
    int width, height;
};

// Top-level windows created on the display while it lives.
class WindowWatcher {
public:
    WindowWatcher() : m_display(XOpenDisplay(nullptr)) {
        if (!m_display) return;
        XSelectInput(m_display, DefaultRootWindow(m_display), SubstructureNotifyMask);
        XSync(m_display, False);
    }
    ~WindowWatcher() {
        if (m_display) XCloseDisplay(m_display);
    }
    bool ok() const { return m_display != nullptr; }
    std::vector<CreatedWindow> created() {
        std::vector<CreatedWindow> windows;
        XSync(m_display, False);
        while (XPending(m_display)) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == CreateNotify)
                windows.push_back({event.xcreatewindow.width, event.xcreatewindow.height});
        }
        return windows;
    }

private:
    Display* m_display;
};

struct ProgramRun {
    int status = -1;
    std::string output;
    std::vector<CreatedWindow> windows;
};

// Runs the built program in a fresh working folder holding an empty archive
// and types `keys` into its launcher.
ProgramRun runProgramWithKeys(const std::string& keys) {
    TempDir dir;
    writeFile(dir / "tidewane.velk", std::string(4, '\0'));
    WindowWatcher watcher;
    EXPECT_TRUE(watcher.ok());
    const std::string script = "cd '" + dir.path() + "' || exit 2\n" +
                               "timeout 60 '" + builtProgram("tidewane") +
                               "' >out.txt 2>&1 & pid=$!\n"
                               "( " + keyScript(keys) + " ) || { kill $pid; exit 6; }\n"
                               "wait $pid; echo \"status $?\"\n";
    CommandResult r = runCommand(script);
    EXPECT_EQ(r.exitStatus, 0) << "the launcher did not show or take the keys\n" << r.err;
    ProgramRun run;
    if (r.out.rfind("status ", 0) == 0) run.status = std::atoi(r.out.c_str() + 7);
    if (fileExists(dir / "out.txt")) run.output = readFile(dir / "out.txt");
    if (watcher.ok()) run.windows = watcher.created();
    return run;
}

bool hasWindow(const std::vector<CreatedWindow>& windows, int width, int height) {
    return std::any_of(windows.begin(), windows.end(), [&](const CreatedWindow& w) {
        return w.width == width && w.height == height;
    });
}

} // namespace

// After a confirm the program opens its window and goes on into the show.
// The archive here is empty, so the show stops at the first asset it asks
// for, the music, which proves it got past the window and the archive.
void expectShowStarted(const ProgramRun& run) {
    EXPECT_EQ(run.status, 128 + SIGABRT) << run.output;
    EXPECT_NE(run.output.find("   * message: Cannot find specified file music.mp3"),
              std::string::npos)
        << "status " << run.status << "\n" << run.output;
}

TEST(LauncherInProgram, EnterRunsTheDemoAtTheChosenSize) {
    // The display lists no 640 by 400, so Enter keeps the default size.
    ProgramRun run = runProgramWithKeys("Return");
    expectShowStarted(run);
    EXPECT_TRUE(hasWindow(run.windows, 640, 400)) << "no 640x400 window was opened";

    LaunchSettings s = defaultLaunchSettings();
    std::vector<ScreenSize> sizes = listedSizes(s);
    ASSERT_FALSE(sizes.empty());
    ASSERT_FALSE(sizes.front().width == 640 && sizes.front().height == 400);
    ProgramRun picked = runProgramWithKeys("Tab Tab Down Return");
    expectShowStarted(picked);
    EXPECT_TRUE(hasWindow(picked.windows, sizes.front().width, sizes.front().height))
        << "no window of the picked size was opened";
    EXPECT_FALSE(hasWindow(picked.windows, 640, 400));
}

TEST(LauncherInProgram, EscapeEndsWithStatusOneAndNoWindow) {
    ProgramRun run = runProgramWithKeys("Escape");
    EXPECT_EQ(run.status, 1);
    // Status 1 is also what a window that fails to open gives; that says so.
    EXPECT_EQ(run.output, "");
    EXPECT_FALSE(hasWindow(run.windows, 640, 400));
}
