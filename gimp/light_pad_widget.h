// The light-direction pad as a GTK widget: a shaded disc with a marker where the light comes
// from. A click or drag sets the direction (see light_pad.h); Control gives light straight
// from the viewer. With the focus, the arrow keys move it and Home centres it.
#pragma once

#include <gtk/gtk.h>

namespace tw::gimp {

using LightChanged = void (*)(void* context);

// A pad `size` pixels square; `changed` runs after every change the user makes (not after
// LightPadSet).
GtkWidget* LightPadNew(int size, LightChanged changed, void* context);
void LightPadSet(GtkWidget* pad, const float light[3]);
void LightPadGet(GtkWidget* pad, float light[3]);

}  // namespace tw::gimp
