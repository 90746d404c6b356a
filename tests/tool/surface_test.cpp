// Every option and command of the tool's tables is in --help, has an entry (a
// line after ".TP") in the manual and is completed by bash; a new one fails here.
#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "options.h"
#include "player.h"
#include "run_tool.h"

namespace {

using Names = std::set<std::string, std::less<>>;

Names words(std::string text) {
    for (char &c : text) c = c == '"' || c == ',' ? ' ' : c;
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// The words of `local NAME="..."` in the completion script.
Names completion(const std::string &name) {
    std::string script = read_all(QVX_TOOLS_DIR "/completion/vqiptv.bash"), start = "local " + name + "=\"";
    size_t at = script.find(start) + start.size();
    return words(script.substr(at, script.find('"', at) - at));
}

TEST(ToolSurface, EveryOptionAndCommandIsInTheHelpTheManualAndTheCompletion) {
    std::istringstream page(read_all(QVX_TOOLS_DIR "/man/vqiptv.1.in"));
    std::string entries;
    for (std::string line, before; std::getline(page, line); before = line) entries += before == ".TP" ? line + " " : "";
    Names help = words(vqt::usage_text()), manual = words(entries), options, valued, commands;
    for (const vqt::OptionName &o : vqt::option_names()) (o.valued ? valued : options).emplace(o.name);
    for (std::string_view name : vqt::command_names()) commands.emplace(name);
    options.insert(valued.begin(), valued.end());
    for (const Names *names : {&options, &commands})
        for (const std::string &name : *names) {
            std::string escaped;  // as the manual writes it
            for (char c : name) escaped += c == '-' ? "\\-" : std::string(1, c);
            EXPECT_TRUE(help.count(name) && manual.count(escaped)) << name << " is missing from --help or the manual";
        }
    EXPECT_EQ(completion("options"), options);
    EXPECT_EQ(completion("valued"), valued);
    EXPECT_EQ(completion("commands"), commands);
    EXPECT_EQ(completion("players"), Names(vqt::kPlayerNames.begin(), vqt::kPlayerNames.end()));
    std::vector<std::string_view> formats = vqt::format_names();
    EXPECT_EQ(completion("formats"), Names(formats.begin(), formats.end()));
}

}  // namespace
