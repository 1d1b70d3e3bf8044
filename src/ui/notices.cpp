#include "ui/notices.h"

// Answering the registered dialog comes with the dialog registry.
void fm_check_registered_dialog(UlvoFmApp *) {}
