#pragma once

// Independent readers of what the program writes, run as Python scripts of the tests folder.

#include <sys/wait.h>

#include <cstdio>
#include <optional>
#include <string>

namespace kvalor::testsupport {

struct ScriptRun {
    bool succeeded = false;
    // Standard output and error together.
    std::string output;
};

// Runs the script (a path below the tests folder) with the arguments, which the caller quotes
// for the shell; nullopt when no interpreter with the modules the script needs is there (it
// then exits with 77).
inline std::optional<ScriptRun> runPythonScript(const std::string& script,
                                                const std::string& arguments) {
    const std::string path = std::string(KVALOR_TESTS_SOURCE_DIR) + "/" + script;
    // Debian's packages install their modules for the system interpreter.
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        FILE* pipe =
            ::popen((std::string(python) + " '" + path + "' " + arguments + " 2>&1").c_str(), "r");
        if (pipe == nullptr) {
            continue;
        }
        ScriptRun run;
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
            run.output.append(chunk, n);
        }
        const int status = ::pclose(pipe);
        if (WIFEXITED(status) && (WEXITSTATUS(status) == 77 || WEXITSTATUS(status) == 127)) {
            continue;
        }
        run.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        return run;
    }
    return std::nullopt;
}

}  // namespace kvalor::testsupport
