// The built program as a person's session runs it: started, watched, ended,
// reached over the session bus, and the state it saves.
#pragma once

#include <gtk/gtk.h>
#include <string>
#include <vector>

namespace ulvo_e2e
{

// The program, killed at the end of the test if it still runs.
class Program
{
  public:
    // Starts the built program. `environment` replaces this process's
    // environment when given. Check started() afterwards.
    explicit Program(const std::vector<std::string> *environment = nullptr);
    // Starts it with its output and log going to the end of `log_file`.
    Program(const std::vector<std::string> *environment, const std::string &log_file);
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    bool started() const { return pid_ != 0; }
    GPid pid() const { return pid_; }
    // Waits until the window has finished its construction.
    bool await_ready(int timeout_ms = 20000);
    bool ready() const;
    bool running();
    void signal(int signo);
    // The wait status once the program has ended, -1 on time-out.
    int await_exit_status(int timeout_ms = 20000);

  private:
    void start(const std::vector<std::string> *environment, const char *log_file);
    GPid pid_ = 0;
    bool reaped_ = false;
    std::string ready_file_;
};

// The saved window state as the platform state service holds it.
std::string read_saved_state();

// Waits until nobody owns the program's bus name any more.
bool await_bus_name_released(int timeout_ms);

// Calls a method of the running program; TRUE on a reply.
bool call_program(const char *method);
// The same with one text argument.
bool call_program(const char *method, const char *argument);

// The saved state as the platform state service keeps it, in its file: the
// running program owns the service's name. "" when there is none.
std::string saved_state_file();
std::string read_saved_state_file();
// As the program's last run would have left it.
void write_saved_state(const std::string &text);

// Brings the program to the front, then covers it with `cover`, as another
// program's window does, and returns the state it saved on going to the
// background; "" when it saved none.
std::string state_after_covering(GtkWidget *cover);

// Covers the program until what it saves reads `expected` (its restore
// finishes a little after its window).
bool await_saved_state(GtkWidget *cover, const std::string &expected);

// Calls org.freedesktop.FileManager1 `method` of the running program with
// `uris`; TRUE on a reply that is no error.
bool call_file_manager1(const char *method, const std::vector<std::string> &uris);

// A person's input through the X server's test extension, as a finger and
// a keyboard give it.
void tap(int x, int y);
void press_key(unsigned long keysym, bool shifted = false);
// TRUE while some client holds the keyboard: an open menu does.
bool keyboard_is_grabbed();

} // namespace ulvo_e2e
