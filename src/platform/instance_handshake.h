#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace platform {

// The conversation by which a second start asks the running program to come to the
// front: one line each way over a local socket. The answer names the program, so that
// whatever else might listen at the socket's place is not taken for it.
inline constexpr std::string_view kRaiseRequest = "raise\n";
inline constexpr std::string_view kRaiseAnswer = "corvane raised\n";

// The name of the running program's files for a settings store: one program per user
// and store, so that a program run on a store of its own (a test, a screenshot) stands
// alone.
std::string instanceName(const std::string& settingsPath);

// Asks the program listening at socketPath to come to the front. True only when it
// answered as Corvane does within the timeout; a refused connection, silence, a wrong
// answer or a path that is no socket give false.
bool askInstanceToRaise(const std::string& socketPath, std::chrono::milliseconds timeout);

}  // namespace platform
