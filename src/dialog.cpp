#include "dialog.h"

#include "launcher.h"

#include <GLFW/glfw3.h>
#include <gtk/gtk.h>

#include <string>

const char* const kLauncherTitle = "Velk demo launcher";

namespace {

bool g_toolkitStarted = false;

// The dialog's font; its average character width and height are the units
// in which the layout below is given (a quarter of the width, an eighth of
// the height). Where Tahoma is missing, a narrow sans serif keeps the
// proportions of the layout closest.
const char* const kFontFamily = "Tahoma, DejaVu Sans Condensed, Sans";
const int kFontPoints = 8;

// A control's place in dialog units.
struct Place {
    int x, y, width, height;
};

const Place kClientArea = {0, 0, 240, 70};
const Place kTitlePlace = {5, 6, 230, 10};
const Place kRunPlace = {10, 50, 50, 14};
const Place kCancelPlace = {180, 50, 50, 14};
const Place kResolutionLabelPlace = {16, 22, 69, 10};
// The closed list; it opens below itself.
const Place kListPlace = {95, 20, 96, 12};
const Place kFullscreenLabelPlace = {16, 36, 69, 10};
const Place kCheckPlace = {95, 36, 9, 10};

// Compact controls: the toolkit's theme pads buttons for touch-sized
// windows, which would not fit the layout above.
const char* const kStyle =
    "#velk-launcher { font-family: Tahoma, \"DejaVu Sans Condensed\", Sans; font-size: 8pt; }\n"
    "#velk-launcher button { min-height: 0; min-width: 0; padding: 0px 4px; }\n"
    "#velk-launcher combobox button { padding: 0px 4px; }\n"
    "#velk-launcher combobox arrow { min-height: 10px; min-width: 10px; }\n"
    "#velk-launcher checkbutton { padding: 0px; }\n"
    "#velk-launcher check { min-height: 11px; min-width: 11px; margin: 0px; }\n";

// Pixels per four dialog units across and per eight down.
struct BaseUnits {
    int x, y;
};

BaseUnits baseUnitsOf(GtkWidget* widget) {
    PangoLayout* layout = gtk_widget_create_pango_layout(
        widget, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, kFontFamily);
    pango_font_description_set_size(font, kFontPoints * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    pango_font_description_free(font);
    g_object_unref(layout);
    return {(width / 26 + 1) / 2, height};
}

struct Dialog {
    LauncherState* state = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* run = nullptr;
    GtkWidget* cancel = nullptr;
    GtkWidget* list = nullptr;
    GtkWidget* check = nullptr;
    GMainLoop* loop = nullptr;
    int result = 0;
    bool closed = false;
};

void finish(Dialog* d, int result) {
    if (d->closed) return;
    d->closed = true;
    d->result = result;
    g_main_loop_quit(d->loop);
}

void onRun(GtkButton*, gpointer data) { finish(static_cast<Dialog*>(data), 1); }
void onCancel(GtkButton*, gpointer data) { finish(static_cast<Dialog*>(data), 0); }

gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    finish(static_cast<Dialog*>(data), 0);
    return TRUE;  // the window is destroyed once the loop has ended
}

// Destroyed by someone else (for example the window system): nothing left
// to confirm, so it counts as a cancel.
void onDestroy(GtkWidget*, gpointer data) {
    Dialog* d = static_cast<Dialog*>(data);
    d->window = nullptr;
    finish(d, 0);
}

void onListChanged(GtkComboBox* list, gpointer data) {
    static_cast<Dialog*>(data)->state->select(gtk_combo_box_get_active(list));
}

void onCheckToggled(GtkToggleButton* check, gpointer data) {
    static_cast<Dialog*>(data)->state->setFullscreen(gtk_toggle_button_get_active(check) != FALSE);
}

bool holdsFocus(GtkWidget* control, GtkWidget* focus) {
    return focus && (focus == control || gtk_widget_is_ancestor(focus, control));
}

// Keys that act on the whole dialog: Escape cancels; Enter runs, unless the
// focus is on "Cancel", which it then activates; Tab and Shift+Tab move
// through Run, Cancel, the list and the box, in this order. Keys for an open
// drop-down list go to the list and never arrive here.
gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    Dialog* d = static_cast<Dialog*>(data);
    const guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
    if (modifiers & ~GDK_SHIFT_MASK) return FALSE;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(d->window));
    switch (event->keyval) {
    case GDK_KEY_Escape:
        finish(d, 0);
        return TRUE;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
        finish(d, holdsFocus(d->cancel, focus) ? 0 : 1);
        return TRUE;
    case GDK_KEY_Tab:
    case GDK_KEY_KP_Tab:
    case GDK_KEY_ISO_Left_Tab: {
        GtkWidget* order[] = {d->run, d->cancel, d->list, d->check};
        const int n = 4;
        int current = -1;
        for (int i = 0; i < n; ++i)
            if (holdsFocus(order[i], focus)) current = i;
        const bool backwards =
            event->keyval == GDK_KEY_ISO_Left_Tab || (modifiers & GDK_SHIFT_MASK);
        int next = current < 0 ? 0 : (current + (backwards ? n - 1 : 1)) % n;
        gtk_widget_grab_focus(order[next]);
        gtk_window_set_focus_visible(GTK_WINDOW(d->window), TRUE);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

GtkWidget* place(GtkWidget* fixed, GtkWidget* control, const Place& p, BaseUnits units) {
    gtk_widget_set_size_request(control, p.width * units.x / 4, p.height * units.y / 8);
    gtk_fixed_put(GTK_FIXED(fixed), control, p.x * units.x / 4, p.y * units.y / 8);
    return control;
}

GtkWidget* label(const char* text, float xalign) {
    GtkWidget* l = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(l), xalign);
    gtk_label_set_yalign(GTK_LABEL(l), 0.0f);
    return l;
}

} // namespace

bool startDialogToolkit() {
    static bool tried = false;
    if (!tried) {
        tried = true;
        // The toolkit would otherwise switch the whole process to the user's
        // locale, and with it how numbers are written and read (a decimal
        // comma in shader sources built with printf, for example).
        gtk_disable_setlocale();
        g_toolkitStarted = gtk_init_check(nullptr, nullptr) != FALSE;
        if (g_toolkitStarted) {
            GtkCssProvider* css = gtk_css_provider_new();
            gtk_css_provider_load_from_data(css, kStyle, -1, nullptr);
            gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                                      GTK_STYLE_PROVIDER(css),
                                                      GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
            g_object_unref(css);
        }
    }
    return g_toolkitStarted;
}

int runLauncherDialog(LauncherState& state) {
    if (!g_toolkitStarted) return -1;

    Dialog d;
    d.state = &state;
    d.loop = g_main_loop_new(nullptr, FALSE);

    d.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(d.window);
    gtk_widget_set_name(d.window, "velk-launcher");
    gtk_window_set_title(window, kLauncherTitle);
    gtk_window_set_modal(window, TRUE);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);

    const BaseUnits units = baseUnitsOf(d.window);
    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, kClientArea.width * units.x / 4,
                                kClientArea.height * units.y / 8);
    gtk_container_add(GTK_CONTAINER(d.window), fixed);

    // Created in tab order; the texts and the title go last, as in the
    // layout this dialog follows.
    d.run = place(fixed, gtk_button_new_with_label("Run"), kRunPlace, units);
    d.cancel = place(fixed, gtk_button_new_with_label("Cancel"), kCancelPlace, units);
    place(fixed, label("Resolution :", 1.0f), kResolutionLabelPlace, units);
    d.list = place(fixed, gtk_combo_box_text_new(), kListPlace, units);
    place(fixed, label("Fullscreen :", 1.0f), kFullscreenLabelPlace, units);
    d.check = place(fixed, gtk_check_button_new(), kCheckPlace, units);
    place(fixed, label("Velk :: Tidewane", 0.5f), kTitlePlace, units);

    for (size_t i = 0; i < state.sizes().size(); ++i)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(d.list), state.itemText(i).c_str());
    gtk_combo_box_set_active(GTK_COMBO_BOX(d.list), state.selected());
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(d.check), state.fullscreen());

    g_signal_connect(d.run, "clicked", G_CALLBACK(onRun), &d);
    g_signal_connect(d.cancel, "clicked", G_CALLBACK(onCancel), &d);
    g_signal_connect(d.list, "changed", G_CALLBACK(onListChanged), &d);
    g_signal_connect(d.check, "toggled", G_CALLBACK(onCheckToggled), &d);
    g_signal_connect(d.window, "delete-event", G_CALLBACK(onDelete), &d);
    g_signal_connect(d.window, "destroy", G_CALLBACK(onDestroy), &d);
    g_signal_connect(d.window, "key-press-event", G_CALLBACK(onKeyPress), &d);

    gtk_widget_set_can_default(d.run, TRUE);
    gtk_widget_grab_default(d.run);
    gtk_widget_grab_focus(d.run);
    gtk_window_set_focus_visible(window, TRUE);
    gtk_widget_show_all(d.window);

    g_main_loop_run(d.loop);

    if (d.window) {
        g_signal_handlers_disconnect_by_data(d.window, &d);
        g_signal_handlers_disconnect_by_data(d.run, &d);
        g_signal_handlers_disconnect_by_data(d.cancel, &d);
        g_signal_handlers_disconnect_by_data(d.list, &d);
        g_signal_handlers_disconnect_by_data(d.check, &d);
        gtk_widget_destroy(d.window);
    }
    // Let the window disappear from the screen before anything else opens.
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    gdk_display_sync(gdk_display_get_default());
    g_main_loop_unref(d.loop);
    return d.result;
}

namespace {

void ignoreGlfwError(int, const char*) {}

} // namespace

std::vector<DisplayMode> primaryDisplayModes() {
    std::vector<DisplayMode> modes;
    // Without a display the library cannot start; the list then stays
    // empty and nothing is reported here (the dialog cannot show either).
    GLFWerrorfun previous = glfwSetErrorCallback(ignoreGlfwError);
    if (glfwInit()) {
        if (GLFWmonitor* monitor = glfwGetPrimaryMonitor()) {
            int count = 0;
            const GLFWvidmode* list = glfwGetVideoModes(monitor, &count);
            for (int i = 0; list && i < count; ++i) {
                const GLFWvidmode& m = list[i];
                modes.push_back({m.width, m.height,
                                 bitsPerPixelOf(m.redBits, m.greenBits, m.blueBits)});
            }
        }
        // The window's context starts the library again for itself.
        glfwTerminate();
    }
    glfwSetErrorCallback(previous);
    return modes;
}

int runLauncher(LaunchSettings* settings) {
    if (!startDialogToolkit()) return -1;
    LauncherState state(*settings, primaryDisplayModes());
    int result = runLauncherDialog(state);
    if (result == 1) state.confirm(settings);
    return result;
}
