// Running deskbox's children: promptwin for every dialog, and gatekeep,
// pushbox, pullbox and erasebox for the work. Each is found on PATH by its
// name and started with an argument vector, so a path or a stored name
// reaches it intact whatever characters it holds.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace morbs::deskbox {

// promptwin could not be started: deskbox cannot talk to the user and ends
// at once (exit code 1), leaving its files as they are.
struct DialogUnavailable : std::runtime_error {
  DialogUnavailable() : std::runtime_error("promptwin could not be started") {}
};

// Runs "promptwin" with these arguments and waits for it. The answer is the
// last line it printed, without its line end ("" when it printed nothing),
// cut to 1023 characters. Throws DialogUnavailable.
std::string show_task(const std::vector<std::string>& args);

// "promptwin --info 'TEXT'": the text arrives with its single quotes.
void show_info(const std::string& text);

// Runs a child on the user's terminal and waits for it. Its exit code tells
// nothing (the children report by printing and by the files they leave);
// false only when it could not be started, which is said on standard error.
bool run_child(const std::vector<std::string>& argv);

// The last line of a failure path, on standard error so that what deskbox
// and its children print stays as it is: "deskbox: " and what failed.
void say_failed(const std::string& what);

// The last line of a child's output, without its line end.
std::string last_line(const std::string& output);

inline constexpr size_t answer_limit = 1023;

}  // namespace morbs::deskbox
