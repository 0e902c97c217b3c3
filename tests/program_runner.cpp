// program_runner.cpp -- process and X11 helpers for the end-to-end tests.
#include "tests/program_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

RunningProgram StartProgram(const std::string &directory, const std::vector<std::string> &environment)
{
    RunningProgram program;
    program.stderrPath = directory + "/stderr.txt";
    program.pid = fork();
    if (program.pid == 0) {
        if (chdir(directory.c_str()) != 0) {
            _exit(127);
        }
        int err = open(program.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 2);
        for (const std::string &setting : environment) {
            if (setting[0] == '-') {
                unsetenv(setting.c_str() + 1);
            } else {
                putenv(const_cast<char *>(setting.c_str()));
            }
        }
        execl(HALMWIND_PROGRAM, HALMWIND_PROGRAM, (char *)nullptr);
        _exit(127);
    }
    return program;
}

int WaitForExit(RunningProgram &program, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(program.pid, &status, WNOHANG) == program.pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(program.pid, SIGKILL);
    waitpid(program.pid, nullptr, 0);
    return -1000;
}

std::string ReadStderr(const RunningProgram &program)
{
    std::ifstream in(program.stderrPath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string RunCommand(const std::string &command)
{
    std::string output;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return output;
    }
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        output += buffer;
    }
    pclose(pipe);
    while (!output.empty() && output.back() == '\n') {
        output.pop_back();
    }
    return output;
}

// xdotool's name search misses SDL's message boxes; xwininfo lists every named window.
std::string WaitForWindow(const std::string &name, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string id = RunCommand("xwininfo -root -tree 2>/dev/null | grep -F '\"" + name +
                                    "\":' | head -n 1 | awk '{print $1}'");
        if (!id.empty()) {
            return id;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "";
}

// Each key is held for a while: a press and release between two frames is never seen.
void PressKeys(const std::string &windowId, const std::string &keys)
{
    std::string command = "xdotool windowfocus --sync " + windowId + " 2>/dev/null";
    std::istringstream names(keys);
    std::string key;
    while (names >> key) {
        command += "; xdotool keydown " + key + "; sleep 0.3; xdotool keyup " + key + "; sleep 0.2";
    }
    RunCommand(command);
}

void HoldKey(const std::string &windowId, const std::string &key, double seconds)
{
    RunCommand("xdotool windowfocus --sync " + windowId + " 2>/dev/null; xdotool keydown " + key +
               "; sleep " + std::to_string(seconds) + "; xdotool keyup " + key);
}

std::string MakeRunDirectory(const char *name, const std::vector<std::string> &dataFiles)
{
    std::string directory = std::string(::testing::TempDir()) + "halmwind_run_" + name;
    RunCommand("rm -rf '" + directory + "' && mkdir -p '" + directory + "'");
    for (const std::string &file : dataFiles) {
        RunCommand("cp '" HALMWIND_DATA_DIR "/" + file + "' '" + directory + "/'");
    }
    return directory;
}

void WriteTextFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}
