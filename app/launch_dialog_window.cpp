// The launch dialog's GTK window, laid out on a fixed grid of dialog units.
// It is built as a module of its own, brindle-dialog.so, that the program
// loads only when it shows the dialog, so runs without the dialog never map
// the toolkit. The program's own state (quit signals, reports, the display
// loss handler) is not linked in here: the executable exports it and the
// module binds to it when loaded.
#include "app/dialog_module.h"
#include "desktop/display_loss.h"
#include "desktop/quit_signal.h"
#include "desktop/report.h"

#include <gtk/gtk.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace {

// Dialog units to pixels for an 8-point dialog font at 96 dots per inch.
constexpr double kPixelsPerUnitX = 1.5;
constexpr double kPixelsPerUnitY = 1.625;

// The font grows with the screen's resolution setting; the grid grows with it.
double fontScale = 1.0;

void setFontScale()
{
    const double resolution = gdk_screen_get_resolution(gdk_screen_get_default());
    fontScale = resolution > 0 ? resolution / 96.0 : 1.0;
}

int unitsX(int units) { return static_cast<int>(std::lround(units * kPixelsPerUnitX * fontScale)); }
int unitsY(int units) { return static_cast<int>(std::lround(units * kPixelsPerUnitY * fontScale)); }

constexpr int kDialogWidthUnits = 417;
constexpr int kDialogHeightUnits = 87;

constexpr int kAspectRows = static_cast<int>(std::size(kAspectNames));

// Keeps the stock theme but shrinks its padding so the controls fit the
// compact grid the dialog is laid out on.
constexpr const char* kDialogCss = R"css(
.launch-dialog * { font-family: Sans; font-size: 8pt; }
.launch-dialog button { min-height: 0; min-width: 0; padding: 1px 4px; }
.launch-dialog checkbutton { min-height: 0; padding: 0; }
.launch-dialog check { min-width: 12px; min-height: 12px; margin: 0 4px 0 0; }
.launch-dialog entry { min-height: 0; padding: 1px 4px; }
.launch-dialog combobox button { padding: 1px 2px; }
.launch-dialog list row { min-height: 0; padding: 0 3px; }
.launch-dialog frame > label { margin: 0 2px; }
.launch-dialog button.default { border-color: #3a3a3a; }
)css";

// The widgets Launch reads and the outcome the main loop waits for.
struct DialogState {
    const std::vector<DisplayMode>* modes = nullptr;
    LaunchSettings* settings = nullptr;  // written on Launch only
    GtkWidget* window = nullptr;
    GtkWidget* resolution = nullptr;
    GtkWidget* aspect = nullptr;
    GtkWidget* sampling = nullptr;
    GtkWidget* fullscreen = nullptr;
    GtkWidget* vsync = nullptr;
    GtkWidget* music = nullptr;
    GMainLoop* loop = nullptr;
    LaunchResult result = LaunchResult::Quit;
};

int selectedRow(GtkWidget* list)
{
    GtkListBoxRow* row = gtk_list_box_get_selected_row(GTK_LIST_BOX(list));
    return row ? gtk_list_box_row_get_index(row) : -1;
}

bool isChecked(GtkWidget* box) { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(box)); }

LaunchControls readControls(const DialogState& state)
{
    LaunchControls controls;
    controls.resolutionIndex = gtk_combo_box_get_active(GTK_COMBO_BOX(state.resolution));
    gchar* text = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(state.resolution));
    if (text)
        controls.resolutionText = text;
    g_free(text);
    controls.aspectIndex = selectedRow(state.aspect);
    controls.samplingIndex = selectedRow(state.sampling);
    controls.fullscreen = isChecked(state.fullscreen);
    controls.vsync = isChecked(state.vsync);
    controls.music = isChecked(state.music);
    return controls;
}

void finish(DialogState& state, LaunchResult result)
{
    state.result = result;
    g_main_loop_quit(state.loop);
}

void onLaunch(GtkButton*, gpointer data)
{
    auto& state = *static_cast<DialogState*>(data);
    if (applyLaunchControls(*state.modes, readControls(state), *state.settings)) {
        finish(state, LaunchResult::Launch);
        return;
    }
    // No listed resolution is chosen: stay open and point the user at the list.
    gtk_widget_error_bell(state.window);
    gtk_widget_grab_focus(gtk_bin_get_child(GTK_BIN(state.resolution)));
}

gboolean closeOnQuitSignal(gpointer data)
{
    if (quitSignalled())
        finish(*static_cast<DialogState*>(data), LaunchResult::Interrupted);
    return G_SOURCE_CONTINUE;
}

void onQuit(GtkButton*, gpointer data) { finish(*static_cast<DialogState*>(data), LaunchResult::Quit); }

gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data)
{
    finish(*static_cast<DialogState*>(data), LaunchResult::Quit);
    return TRUE;
}

bool isReturnKey(guint key) { return key == GDK_KEY_Return || key == GDK_KEY_KP_Enter || key == GDK_KEY_ISO_Enter; }

// Escape quits; Return launches from any control but a push button (which
// presses that button), as a dialog's default button does.
gboolean onKey(GtkWidget* window, GdkEventKey* event, gpointer data)
{
    if (event->keyval == GDK_KEY_Escape) {
        // An open drop-down list takes Escape for itself and never reaches here.
        finish(*static_cast<DialogState*>(data), LaunchResult::Quit);
        return TRUE;
    }
    if (isReturnKey(event->keyval)) {
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
        const bool pushButton = focus && GTK_IS_BUTTON(focus) && !GTK_IS_TOGGLE_BUTTON(focus);
        if (!pushButton) {
            gtk_window_activate_default(GTK_WINDOW(window));
            return TRUE;
        }
    }
    return FALSE;
}

void place(GtkWidget* fixed, GtkWidget* widget, int x, int y, int width, int height)
{
    gtk_widget_set_size_request(widget, unitsX(width), height > 0 ? unitsY(height) : -1);
    gtk_fixed_put(GTK_FIXED(fixed), widget, unitsX(x), unitsY(y));
}

GtkWidget* makeGroup(GtkWidget* fixed, const char* title, int x, int y, int width, int height)
{
    GtkWidget* frame = gtk_frame_new(title);
    place(fixed, frame, x, y, width, height);
    return frame;
}

GtkWidget* makeList(GtkWidget* fixed, const std::vector<std::string>& entries, int x, int y, int width, int height)
{
    GtkWidget* list = gtk_list_box_new();
    gtk_list_box_set_selection_mode(GTK_LIST_BOX(list), GTK_SELECTION_SINGLE);
    for (const std::string& entry : entries) {
        GtkWidget* label = gtk_label_new(entry.c_str());
        gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
        gtk_container_add(GTK_CONTAINER(list), label);
    }
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(scroller), list);
    place(fixed, scroller, x, y, width, height);
    return list;
}

void selectRow(GtkWidget* list, int index)
{
    GtkListBoxRow* row = gtk_list_box_get_row_at_index(GTK_LIST_BOX(list), index);
    if (row)
        gtk_list_box_select_row(GTK_LIST_BOX(list), row);
}

GtkWidget* makeCheck(GtkWidget* fixed, const char* label, bool checked, int x, int y, int width, int height)
{
    GtkWidget* box = gtk_check_button_new_with_label(label);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(box), checked);
    place(fixed, box, x, y, width, height);
    return box;
}

void installStyle()
{
    static bool installed = false;
    if (installed)
        return;
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kDialogCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(
        gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
    installed = true;
}

// The resolution field: the listed modes, with the settings' size (the
// command line's, else the desktop's) selected. A size the command line named
// that is not listed is shown as typed text with nothing selected, so Launch
// waits for a listed choice.
GtkWidget* makeResolutionField(GtkWidget* fixed, const std::vector<DisplayMode>& modes, const LaunchSettings& settings)
{
    GtkWidget* combo = gtk_combo_box_text_new_with_entry();
    for (const DisplayMode& mode : modes) {
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), modeLabel(mode).c_str());
    }
    GtkWidget* entry = gtk_bin_get_child(GTK_BIN(combo));
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 4);
    const int index = findMode(modes, settings.width, settings.height);
    if (index >= 0 || !settings.sizeGiven) {
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo), index);
    } else {
        const std::string typed = modeLabel(DisplayMode {settings.width, settings.height, 32, 0});
        gtk_entry_set_text(GTK_ENTRY(entry), typed.c_str());
    }
    place(fixed, combo, 14, 20, 96, 0);
    return combo;
}

std::vector<std::string> samplingLabels(int maxSamples)
{
    std::vector<std::string> labels {"None"};
    for (int samples = 2; samples <= maxSamples && samples > 0; samples *= 2) {
        labels.push_back(std::to_string(samples) + "x");
    }
    return labels;
}

int aspectRow(const std::optional<AspectCode>& aspect)
{
    for (int row = 0; row < kAspectRows; ++row) {
        if (kAspectNames[row].code == aspect)
            return row;
    }
    return 0;
}

GtkWidget* buildDialog(DialogState& state, const LaunchSettings& settings, int maxSamples)
{
    installStyle();
    setFontScale();
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_style_context_add_class(gtk_widget_get_style_context(window), "launch-dialog");
    gtk_window_set_title(GTK_WINDOW(window), "brindle kiln 2.0");
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);

    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, unitsX(kDialogWidthUnits), unitsY(kDialogHeightUnits));
    gtk_container_add(GTK_CONTAINER(window), fixed);

    makeGroup(fixed, "Resolution", 7, 7, 108, 72);
    makeGroup(fixed, "Aspect Ratio", 124, 7, 68, 72);
    makeGroup(fixed, "Multisampling", 200, 7, 67, 72);
    makeGroup(fixed, "Other options", 276, 7, 73, 72);

    GtkWidget* launch = gtk_button_new_with_label("Launch");
    place(fixed, launch, 360, 23, 50, 14);
    GtkWidget* quit = gtk_button_new_with_label("Quit");
    place(fixed, quit, 360, 47, 50, 14);

    state.window = window;
    state.resolution = makeResolutionField(fixed, *state.modes, settings);
    std::vector<std::string> aspectLabels;
    for (const AspectName& name : kAspectNames)
        aspectLabels.emplace_back(name.label);
    state.aspect = makeList(fixed, aspectLabels, 131, 21, 55, 51);
    selectRow(state.aspect, aspectRow(settings.aspect));
    state.sampling = makeList(fixed, samplingLabels(maxSamples), 206, 22, 55, 50);
    selectRow(state.sampling, 0);
    state.fullscreen = makeCheck(fixed, "Fullscreen", settings.fullscreen, 283, 23, 48, 10);
    state.vsync = makeCheck(fixed, "VSync", settings.vsync, 283, 36, 35, 10);
    state.music = makeCheck(fixed, "Music", settings.musicEnabled, 283, 50, 33, 10);

    g_signal_connect(launch, "clicked", G_CALLBACK(onLaunch), &state);
    g_signal_connect(quit, "clicked", G_CALLBACK(onQuit), &state);
    g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), &state);
    g_signal_connect(window, "key-press-event", G_CALLBACK(onKey), &state);

    // Return launches: Launch is the default and holds the focus from the start,
    // which also works where no window manager hands out focus.
    gtk_widget_set_can_default(launch, TRUE);
    gtk_window_set_default(GTK_WINDOW(window), launch);
    gtk_window_set_focus(GTK_WINDOW(window), launch);
    return window;
}

// Lets the toolkit unmap the dialog before the show opens its own window.
void drainEvents()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

bool initToolkit(std::string& error)
{
    static int outcome = 0;  // 0 not tried, 1 ready, -1 no display
    if (outcome == 0) {
        outcome = gtk_init_check(nullptr, nullptr) ? 1 : -1;
        installDisplayLossHandler();
        // The toolkit adopts the environment's locale; numbers the program prints
        // or parses must keep a decimal point whatever the user's language.
        std::setlocale(LC_NUMERIC, "C");
    }
    if (outcome < 0) {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr)
            display = std::getenv("WAYLAND_DISPLAY");
        error = display ? std::string("cannot show the launch dialog: cannot open display \"") + display
                + "\"; check that it is running and that DISPLAY names it"
                        : "cannot show the launch dialog: no display (DISPLAY is not set); "
                          "run brindle from a graphical session";
        return false;
    }
    return true;
}

LaunchResult showDialog(LaunchSettings& settings, const std::vector<DisplayMode>& modes, int maxSamples)
{
    std::string error;
    if (!initToolkit(error)) {
        report(error);
        return LaunchResult::Failed;
    }
    DialogState state;
    state.modes = &modes;
    state.settings = &settings;
    state.loop = g_main_loop_new(nullptr, FALSE);

    GtkWidget* window = buildDialog(state, settings, maxSamples);
    gtk_widget_show_all(window);
    gtk_window_present(GTK_WINDOW(window));
    // The signal handler may only set a flag; the loop looks at it often
    // enough that Ctrl-C or a logout closes the dialog at once.
    const guint watch = g_timeout_add(50, closeOnQuitSignal, &state);
    g_main_loop_run(state.loop);
    g_source_remove(watch);

    gtk_widget_destroy(window);
    g_main_loop_unref(state.loop);
    drainEvents();
    return state.result;
}

}  // namespace

const DialogModuleEntry* brindle_dialog_entry()
{
    static constexpr DialogModuleEntry entry {initToolkit, showDialog};
    return &entry;
}
