// Running the real program from a test: starting it, ending it, reaching it
// over the session bus and reading the state it saves.
#pragma once

#include <gtk/gtk.h>
#include <string>

namespace program_test
{

// Starts the built program; it creates `ready_file` once its window is
// finished. Returns its pid, or 0 after adding a test failure.
GPid start_program(const std::string &ready_file);

// Waits for the child without blocking the main loop; -1 on time-out.
int await_exit_status(GPid pid, int timeout_ms);

// Waits until nobody owns the program's bus name any more.
bool await_bus_name_released(int timeout_ms);

// Calls a method of the running program; TRUE on a reply.
bool call_program(const char *method);

// The saved state as the platform state service keeps it, in its file: the
// running program owns the service's name. "" when there is none.
std::string saved_state_file();
std::string read_saved_state_file();
// As the program's last run would have left it.
void write_saved_state(const std::string &text);

} // namespace program_test
