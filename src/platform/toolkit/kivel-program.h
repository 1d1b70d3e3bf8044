// The program object of the touch toolkit: one per process, it knows the
// application's windows and carries the switch that lets the platform stop a
// background application and restart it later from its saved state.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define KIVEL_TYPE_PROGRAM (kivel_program_get_type())
#define KIVEL_PROGRAM(o) (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_PROGRAM, KivelProgram))
#define KIVEL_IS_PROGRAM(o) (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_PROGRAM))

typedef struct _KivelProgram KivelProgram;
typedef struct _KivelProgramClass KivelProgramClass;

GType kivel_program_get_type(void);

// Readies the toolkit: the icon size "kivel-finger" (48x48), the built-in
// icons and stock items the application names, the platform catalogs. Call
// once, after gtk_init(); later calls do nothing.
void kivel_init(void);

// (transfer none) The program object of this process, created on first call.
KivelProgram *kivel_program_get_instance(void);

// Lets the program know one of the application's windows. The program does
// not keep the window alive; each window carries the hibernation flag in its
// X property "_KIVEL_CAN_HIBERNATE" (CARDINAL, 0 or 1) for the platform.
void kivel_program_add_window(KivelProgram *program, GtkWindow *window);

// Property "can-hibernate" (gboolean, default FALSE), notified on change:
// TRUE while the platform may stop the application in the background.
void kivel_program_set_can_hibernate(KivelProgram *program, gboolean can_hibernate);
gboolean kivel_program_get_can_hibernate(KivelProgram *program);

G_END_DECLS
