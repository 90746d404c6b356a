// Runs the vqiptv binary as a user would, capturing its output and exit status.
#pragma once
#include <string>
#include <vector>

struct ToolRun {
    int exit = -1;
    std::string out, err;
};

// args are passed as separate words; env is a list of NAME=VALUE settings.
ToolRun run_tool(const std::vector<std::string> &args, const std::vector<std::string> &env = {});

// The same with standard input read from the file at input.
ToolRun run_tool_with_input(const std::vector<std::string> &args, const std::string &input);

// Runs a shell command line on a pseudo-terminal; out holds all it showed.
ToolRun run_tool_on_terminal(const std::string &command);

// The sample playlist of the repository, and a corpus file.
std::string sample_path();
std::string corpus_path(const std::string &relative);

// A file in the test's temporary folder holding bytes, removed when the program ends.
std::string temp_file(const std::string &name, const std::string &bytes);
// An empty folder of the test's, removed with what it holds when the program ends.
std::string temp_dir(const std::string &name);
std::string read_all(const std::string &path);
