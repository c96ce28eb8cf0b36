#pragma once

// corvane-render run as a program from the tests, what it prints kept in files of a
// temporary folder.
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/temp_folder.h"

namespace testing_support {

inline const std::string kRenderProgram =
    std::string(CORVANE_BINARY_DIR) + "/tools/render/corvane-render";

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::string lastLine() const {
        std::string text = out;
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        return text.substr(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
    }
};

inline std::string shellQuoted(const std::string& argument) {
    std::string q = "'";
    for (const char c : argument)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a shell command with no input, its output and errors kept.
inline ToolRun runCommand(const TempFolder& folder, const std::string& command) {
    const std::string out = folder.file("stdout.txt");
    const std::string err = folder.file("stderr.txt");
    const int status = std::system(
        (command + " >" + shellQuoted(out) + " 2>" + shellQuoted(err) + " </dev/null").c_str());
    ToolRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = TempFolder::read(out);
    run.err = TempFolder::read(err);
    return run;
}

// prefix: shell commands run before the program, such as a file size limit.
inline ToolRun runRender(const TempFolder& folder, const std::vector<std::string>& arguments,
                         const std::string& prefix = "") {
    std::string command = prefix + shellQuoted(kRenderProgram);
    for (const std::string& a : arguments)
        command.append(" ").append(shellQuoted(a));  // not " " + ...: gcc 12 bug 105651
    return runCommand(folder, command);
}

}  // namespace testing_support
