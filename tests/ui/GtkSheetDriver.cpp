#include "GtkSheetDriver.h"

#include <gtk/gtk.h>

namespace gtk_sheet_driver {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStepInterval = std::chrono::milliseconds(20);
constexpr auto kLeftOpenAfter = std::chrono::seconds(5);
constexpr auto kTypingTimeout = std::chrono::seconds(5);

struct Run {
    std::string title;
    const std::vector<Step>& steps;
    Outcome outcome;
    Clock::time_point lastStep{};
};

gboolean NextStep(gpointer data) {
    Run& run = *static_cast<Run*>(data);
    GtkWidget* dialog = FindWindow(run.title);
    if (dialog == nullptr) {
        return G_SOURCE_CONTINUE;
    }
    if (run.outcome.steps < run.steps.size()) {
        run.steps[run.outcome.steps++](dialog);
        run.lastStep = Clock::now();
    } else if (Clock::now() - run.lastStep > kLeftOpenAfter) {
        run.outcome.leftOpen = true;
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    }
    return G_SOURCE_CONTINUE;
}

void Collect(GtkWidget* widget, const std::function<bool(GtkWidget*)>& visit) {
    if (!visit(widget) || !GTK_IS_CONTAINER(widget)) {
        return;
    }
    auto next = [&visit](GtkWidget* child) { Collect(child, visit); };
    using Next = decltype(next);
    gtk_container_forall(
        GTK_CONTAINER(widget),
        [](GtkWidget* child, gpointer data) { (*static_cast<Next*>(data))(child); }, &next);
}

GtkWidget* FindFirst(GtkWidget* root, const std::function<bool(GtkWidget*)>& match) {
    GtkWidget* found = nullptr;
    Collect(root, [&](GtkWidget* widget) {
        if (found == nullptr && match(widget)) {
            found = widget;
        }
        return found == nullptr;
    });
    return found;
}

// A key pressed and released while widget has the focus of its window,
// handed to GTK as the window system would hand it: through the window's
// key handling (focus, key bindings, input method). Sent through the X
// server instead, core key events would not reach GTK, which listens to the
// input extension's.
void SendKey(GtkWidget* widget, guint keyval) {
    GtkWidget* window = gtk_widget_get_toplevel(widget);
    GdkDisplay* display = gtk_widget_get_display(window);
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count);
    for (const GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
        event->key.send_event = TRUE;
        event->key.time = GDK_CURRENT_TIME;
        event->key.keyval = keyval;
        event->key.hardware_keycode = count > 0 ? static_cast<guint16>(keys[0].keycode) : 0;
        event->key.group = count > 0 ? static_cast<guint8>(keys[0].group) : 0;
        gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
        gtk_main_do_event(event);
        gdk_event_free(event);
    }
    g_free(keys);
}

}  // namespace

Outcome WhileShown(const std::string& title, const std::vector<Step>& steps,
                   const std::function<int()>& call) {
    Run run{title, steps, {}, Clock::now()};
    const guint source = g_timeout_add(static_cast<guint>(kStepInterval.count()), &NextStep, &run);
    run.outcome.result = call();
    g_source_remove(source);
    return run.outcome;
}

GtkWidget* FindWindow(const std::string& title) {
    GList* windows = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* each = windows; each != nullptr; each = each->next) {
        GtkWindow* window = GTK_WINDOW(each->data);
        const gchar* text = gtk_window_get_title(window);
        if (text != nullptr && title == text && gtk_widget_get_mapped(GTK_WIDGET(window))) {
            found = GTK_WIDGET(window);
        }
    }
    g_list_free(windows);
    return found;
}

GtkWidget* FindNamed(GtkWidget* root, const std::string& name) {
    return FindFirst(root,
                     [&name](GtkWidget* widget) { return name == gtk_widget_get_name(widget); });
}

GtkWidget* Control(GtkWidget* page, int controlId) {
    return FindNamed(page, std::to_string(controlId));
}

GtkWidget* Notebook(GtkWidget* dialog) {
    return FindFirst(dialog, [](GtkWidget* widget) { return GTK_IS_NOTEBOOK(widget); });
}

int PageCount(GtkWidget* dialog) {
    return gtk_notebook_get_n_pages(GTK_NOTEBOOK(Notebook(dialog)));
}

std::string PageCaption(GtkWidget* dialog, int index) {
    GtkNotebook* notebook = GTK_NOTEBOOK(Notebook(dialog));
    const gchar* text =
        gtk_notebook_get_tab_label_text(notebook, gtk_notebook_get_nth_page(notebook, index));
    return text != nullptr ? text : "";
}

GtkWidget* ShowPage(GtkWidget* dialog, int index) {
    GtkNotebook* notebook = GTK_NOTEBOOK(Notebook(dialog));
    gtk_notebook_set_current_page(notebook, index);
    Pump();
    return gtk_notebook_get_nth_page(notebook, index);
}

GtkWidget* CurrentPage(GtkWidget* dialog) {
    GtkNotebook* notebook = GTK_NOTEBOOK(Notebook(dialog));
    return gtk_notebook_get_nth_page(notebook, gtk_notebook_get_current_page(notebook));
}

void PressKey(GtkWidget* widget, guint keyval) {
    SendKey(widget, keyval);
    Pump();
}

void Type(GtkWidget* page, int controlId, const std::string& text) {
    GtkWidget* edit = Control(page, controlId);
    if (!GTK_IS_ENTRY(edit)) {
        return;
    }
    gtk_widget_grab_focus(edit);
    gtk_editable_select_region(GTK_EDITABLE(edit), 0, -1);
    for (const char character : text) {
        SendKey(edit, gdk_unicode_to_keyval(static_cast<guint32>(character)));
    }
    const auto deadline = Clock::now() + kTypingTimeout;
    while (Text(page, controlId) != text && Clock::now() < deadline) {
        Pump();
        g_usleep(1000);
    }
}

void Click(GtkWidget* page, int controlId) {
    if (GtkWidget* button = Control(page, controlId); GTK_IS_BUTTON(button)) {
        gtk_button_clicked(GTK_BUTTON(button));
        Pump();
    }
}

std::string Text(GtkWidget* page, int controlId) {
    GtkWidget* widget = Control(page, controlId);
    const gchar* text = nullptr;
    if (GTK_IS_ENTRY(widget)) {
        text = gtk_entry_get_text(GTK_ENTRY(widget));
    } else if (GTK_IS_LABEL(widget)) {
        text = gtk_label_get_text(GTK_LABEL(widget));
    } else if (GTK_IS_COMBO_BOX_TEXT(widget)) {
        gchar* selected = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(widget));
        std::string copy = selected != nullptr ? selected : "";
        g_free(selected);
        return copy;
    }
    return text != nullptr ? text : "";
}

bool IsSensitive(GtkWidget* page, int controlId) {
    GtkWidget* widget = Control(page, controlId);
    return widget != nullptr && gtk_widget_is_sensitive(widget);
}

std::string Labels(GtkWidget* root) {
    std::string texts;
    Collect(root, [&texts](GtkWidget* widget) {
        const gchar* text = nullptr;
        if (GTK_IS_LABEL(widget)) {
            text = gtk_label_get_text(GTK_LABEL(widget));
        } else if (GTK_IS_FRAME(widget)) {
            text = gtk_frame_get_label(GTK_FRAME(widget));
        }
        if (text != nullptr) {
            texts += text;
            texts += '\n';
        }
        return true;
    });
    return texts;
}

std::string StatusText(GtkWidget* dialog) {
    GtkWidget* bar = FindNamed(dialog, "105");
    if (!GTK_IS_STATUSBAR(bar)) {
        return "(no status bar)";
    }
    GtkWidget* label = FindFirst(gtk_statusbar_get_message_area(GTK_STATUSBAR(bar)),
                                 [](GtkWidget* widget) { return GTK_IS_LABEL(widget); });
    return label != nullptr ? gtk_label_get_text(GTK_LABEL(label)) : "";
}

GtkAllocation Allocation(GtkWidget* widget) {
    GtkAllocation allocation{};
    gtk_widget_get_allocation(widget, &allocation);
    // In the window's coordinates, whatever the widget's parent.
    gtk_widget_translate_coordinates(widget, gtk_widget_get_toplevel(widget), 0, 0, &allocation.x,
                                     &allocation.y);
    return allocation;
}

void CloseWindow(GtkWidget* window) {
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->any.send_event = TRUE;
    gtk_main_do_event(event);
    gdk_event_free(event);
    Pump();
}

void Pump() {
    // Bounded: a redraw can schedule another.
    for (int i = 0; i < 1000 && gtk_events_pending(); ++i) {
        gtk_main_iteration_do(FALSE);
    }
}

}  // namespace gtk_sheet_driver
