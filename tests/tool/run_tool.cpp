#include "run_tool.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "render.h"

std::string read_all(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {
// The files and folders a test program made, removed when it ends.
std::string made(const std::string &name) {
    static struct made_paths {
        std::vector<std::string> paths;
        ~made_paths() {
            std::error_code ignored;
            for (const std::string &p : paths) std::filesystem::remove_all(p, ignored);
        }
    } made;
    made.paths.push_back(testing::TempDir() + std::to_string(getpid()) + "." + name);
    return made.paths.back();
}
}  // namespace

std::string temp_file(const std::string &name, const std::string &bytes) {
    std::string path = made(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string temp_dir(const std::string &name) {
    std::string path = made(name);
    std::filesystem::create_directories(path);
    return path;
}

namespace {

// Appends one shell word to cmd.
void add_word(std::string &cmd, const std::string &word) {
    cmd += ' ';
    cmd += vqt::shell_quote(word);
}

// Runs a shell command line with stdout and stderr captured, stdin from input.
ToolRun capture(std::string cmd, const std::string &input = "/dev/null") {
    // ctest runs test cases side by side, each in a process of its own.
    std::string stem = testing::TempDir() + "vqiptv." + std::to_string(getpid());
    std::string out = stem + ".out", err = stem + ".err";
    cmd += " >";
    cmd += vqt::shell_quote(out);
    cmd += " 2>";
    cmd += vqt::shell_quote(err);
    cmd += " <";
    cmd += vqt::shell_quote(input);
    int status = std::system(cmd.c_str());
    ToolRun r;
    r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = read_all(out);
    r.err = read_all(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

std::string tool_command(const std::vector<std::string> &args, const std::vector<std::string> &env) {
    // A pipe is no terminal: the tool must neither size tables nor show progress.
    std::string cmd = "env -u COLUMNS";
    for (const std::string &e : env) add_word(cmd, e);
    add_word(cmd, VQIPTV_BIN);
    for (const std::string &a : args) add_word(cmd, a);
    return cmd;
}

}  // namespace

ToolRun run_tool(const std::vector<std::string> &args, const std::vector<std::string> &env) {
    return capture(tool_command(args, env));
}

ToolRun run_tool_with_input(const std::vector<std::string> &args, const std::string &input) {
    return capture(tool_command(args, {}), input);
}

ToolRun run_tool_on_terminal(const std::string &command) {
    // script(1) gives the command a pseudo-terminal and copies all it shows
    // to stdout; -e hands back the command's exit status.
    std::string cmd = "env -u COLUMNS script -qec";
    add_word(cmd, command);
    return capture(cmd + " /dev/null");
}

std::string sample_path() { return QVX_SAMPLES_DIR "/sample.m3u"; }

std::string corpus_path(const std::string &relative) { return QVX_CORPUS_DIR "/" + relative; }
