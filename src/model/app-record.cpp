#include "model/app-record.h"

UlvoFmApp *global_ofm = nullptr;

ulvo_context_t *fm_app_ctx = nullptr;
gboolean shutting_down = FALSE;
gboolean not_topmost = FALSE;
gchar *pending_folder_uri = nullptr;
gboolean details_dialog_open = FALSE;
