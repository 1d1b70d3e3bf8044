// The desktop's common file manager interface, so that other programs'
// "show in folder" opens this window.
#pragma once

#include <glib.h>

G_BEGIN_DECLS

#define ULVO_FM_FILE_MANAGER1_NAME "org.freedesktop.FileManager1"
#define ULVO_FM_FILE_MANAGER1_PATH "/org/freedesktop/FileManager1"

// Serves the interface and takes its bus name once nobody else holds it.
void ulvo_fm_file_manager1_start(void);
// Gives the name and the object up; harmless when not started.
void ulvo_fm_file_manager1_stop(void);

G_END_DECLS
