#pragma once

#include <gtk/gtk.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// Works the configuration dialog of the GTK build as a user would, through
// its widgets. GTK runs on one thread, the one blocked in configureCamera,
// so the user's steps run inside the dialog's own main loop.
namespace gtk_sheet_driver {

using Step = std::function<void(GtkWidget* dialog)>;

struct Outcome {
    int result = -1;        // what the call returned
    std::size_t steps = 0;  // how many steps ran
    bool leftOpen = false;  // the dialog was still open after the last step
};

// Makes call() (which shows a dialog titled title) and, while the dialog is
// up, runs each step in its own turn of the main loop, so that what a step
// did (a response, a page change) takes effect before the next. A dialog
// still open a few seconds after the last step is cancelled.
Outcome WhileShown(const std::string& title, const std::vector<Step>& steps,
                   const std::function<int()>& call);

// The visible top-level window titled title; nullptr when there is none.
GtkWidget* FindWindow(const std::string& title);
// The descendant of root named name; nullptr when there is none. The front
// end names controls by their ids, OK "1", Cancel "2", the status bar "105".
GtkWidget* FindNamed(GtkWidget* root, const std::string& name);
GtkWidget* Control(GtkWidget* page, int controlId);

int PageCount(GtkWidget* dialog);
std::string PageCaption(GtkWidget* dialog, int index);
// Makes the page at index current, as a click on its tab does, and returns
// it.
GtkWidget* ShowPage(GtkWidget* dialog, int index);
GtkWidget* CurrentPage(GtkWidget* dialog);

// Replaces an edit's text by typing: focus, select all, one key per
// character; returns once the edit shows the text (at most a few seconds).
void Type(GtkWidget* page, int controlId, const std::string& text);
// One key to the widget's window: Return, Escape, ...
void PressKey(GtkWidget* widget, guint keyval);
void Click(GtkWidget* page, int controlId);
std::string Text(GtkWidget* page, int controlId);
bool IsSensitive(GtkWidget* page, int controlId);
// Every label's and button's text below root, one per line.
std::string Labels(GtkWidget* root);

// The status bar's text (widget 105).
std::string StatusText(GtkWidget* dialog);
GtkWidget* Notebook(GtkWidget* dialog);
GtkAllocation Allocation(GtkWidget* widget);
// The window manager's close button: a delete event.
void CloseWindow(GtkWidget* window);
// Lets GTK handle what is pending: events, redraws.
void Pump();

}  // namespace gtk_sheet_driver
