// Buttons sized for fingers.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

// Sizes (`size` of kivel_button_new). Other values give the natural size.
enum {
    KIVEL_SIZE_AUTO = 0,
    // 70 pixels high: comfortable for a fingertip.
    KIVEL_SIZE_FINGER_HEIGHT = 4,
    // 96 pixels high: for a thumb.
    KIVEL_SIZE_THUMB_HEIGHT = 8,
};

// Arrangements of image and texts (`arrangement` of kivel_button_new).
enum {
    KIVEL_BUTTON_ARRANGEMENT_HORIZONTAL = 0,
    KIVEL_BUTTON_ARRANGEMENT_VERTICAL = 1,
};

// (transfer full, floating) A new GtkButton of that size. Its image, when
// set, is always shown: beside the label (horizontal) or above it (vertical).
GtkWidget *kivel_button_new(guint size, guint arrangement);

// Makes `image` the button's content, with the button's label text (if it
// has one) beside or under it. The button takes the image over.
void kivel_button_set_image(GtkButton *button, GtkWidget *image);

G_END_DECLS
