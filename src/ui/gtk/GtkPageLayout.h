#pragma once

#include <gtk/gtk.h>

#include <map>

class PropertyPage;

// Puts a page's controls into container, in grids grouped as the page's
// dialog template groups them: each row a label, the control and its range
// label. Returns every control and range label by its id; each widget is
// named after its id (gtk_widget_get_name), so that tests can find it.
std::map<int, GtkWidget*> BuildPageControls(const PropertyPage& page, GtkWidget* container);
