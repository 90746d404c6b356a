// The tool's surface in one place: every command and option of its table is
// in the --help text, has an entry in the manual and is completed by bash,
// which also knows the options that take a value and the values of --player
// and --format. A new option or command fails here until all three name it.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "options.h"
#include "player.h"
#include "run_tool.h"

namespace {

using Names = std::set<std::string>;

template <typename List>
Names names_of(const List &list) {
    return Names(list.begin(), list.end());
}

Names words_of(const std::string &text) {
    std::istringstream in(text);
    Names out;
    for (std::string w; in >> w;) out.insert(w);
    return out;
}

// The words of `local NAME="..."` in the completion script.
Names completion_list(const std::string &name) {
    std::string script = read_all(QVX_TOOLS_DIR "/completion/vqiptv.bash");
    std::string start = "local " + name + "=\"";
    size_t at = script.find(start);
    if (at == std::string::npos) return {};
    at += start.size();
    return words_of(script.substr(at, script.find('"', at) - at));
}

// The words of the manual's entries: each line after a ".TP", its quotes
// taken as spaces.
Names manual_entries() {
    std::istringstream in(read_all(QVX_TOOLS_DIR "/man/vqiptv.1.in"));
    std::string entries;
    for (std::string line, before; std::getline(in, line); before = line)
        if (before == ".TP") entries += line + "\n";
    for (char &c : entries)
        if (c == '"') c = ' ';
    return words_of(entries);
}

// A name as the manual writes it: every "-" as "\-".
std::string in_manual(std::string_view name) {
    std::string out;
    for (char c : name) out += c == '-' ? "\\-" : std::string(1, c);
    return out;
}

TEST(ToolSurface, EveryOptionIsInTheHelpTheManualAndTheCompletion) {
    Names help = words_of(vqt::usage_text()), manual = manual_entries(), valued;
    for (const vqt::OptionName &o : vqt::option_names()) {
        std::string name(o.name);
        EXPECT_TRUE(help.count(name) || help.count(name + ",")) << name << " is not in --help";
        EXPECT_TRUE(manual.count(in_manual(name))) << name << " has no entry in the manual";
        if (o.valued) valued.insert(name);
    }
    Names all;
    for (const vqt::OptionName &o : vqt::option_names()) all.insert(std::string(o.name));
    EXPECT_EQ(completion_list("options"), all);
    EXPECT_EQ(completion_list("valued"), valued);
    EXPECT_EQ(completion_list("players"), names_of(vqt::kPlayerNames));
    EXPECT_EQ(completion_list("formats"), names_of(vqt::format_names()));
}

TEST(ToolSurface, EveryCommandIsInTheHelpTheManualAndTheCompletion) {
    Names help = words_of(vqt::usage_text()), manual = manual_entries();
    for (std::string_view command : vqt::command_names()) {
        std::string name(command);
        EXPECT_TRUE(help.count(name) || help.count(name + ",")) << name << " is not in --help";
        EXPECT_TRUE(manual.count(name)) << name << " has no entry in the manual";
    }
    EXPECT_EQ(completion_list("commands"), names_of(vqt::command_names()));
}

}  // namespace
