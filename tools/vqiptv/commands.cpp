#include "commands.h"

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "check.h"
#include "credentials.h"
#include "layout.h"
#include "library.h"
#include "player.h"
#include "playlist_copy.h"
#include "quorvex_iptv.h"
#include "render.h"
#include "search.h"
#include "suggest.h"

namespace vqt {
namespace {

struct Context {
    const Options &opts;
    std::ostream &out;
    std::ostream &err;
    std::string settings;
};

// The library's message, naming a local file by its path rather than by the
// URL it was served under.
std::string message(const Context &c, const Answer &a) {
    std::string text = a.error;
    if (c.opts.source != SourceKind::file) return text;
    std::string url = file_url(c.opts.source_value);
    std::string name = file_name(c.opts.source_value);
    for (size_t at; (at = text.find(url)) != std::string::npos;) text.replace(at, url.size(), name);
    return text;
}

int fail(Context &c, const Answer &a) {
    if (c.opts.json) c.out << a.doc << "\n";
    c.err << "vqiptv: " << message(c, a) << unauthorized_note(c.settings, a.error) << "\n";
    return exit_for_status(a.status);
}

int unreadable(Context &c) {
    c.err << "vqiptv: the library answered a document the tool cannot read\n";
    return kExitFailure;
}

// A document the library answered: as it is with --json, else for people.
template <typename Show>
int answer(Context &c, const Answer &a, Show show) {
    if (!a.ok()) return fail(c, a);
    if (c.opts.json) return c.out << a.doc << "\n", kExitOk;
    return show(a.doc) ? kExitOk : unreadable(c);
}

int show_listing(Context &c, const Answer &a) {
    return answer(c, a, [&](const std::string &doc) {
        std::vector<Entry> entries;
        if (!read_listing(doc, entries)) return false;
        c.out << render_listing(entries, terminal_width());
        return true;
    });
}

// A group as the listing takes it: "/" and the whole name.
std::string group_path(const std::string &group) { return group.rfind('/', 0) == 0 ? group : "/" + group; }

int groups(Context &c) { return show_listing(c, lib_list(c.settings, "/")); }

// What to try instead of a group that is not there: the nearest names.
std::string group_hint(Context &c, const std::string &group) {
    std::vector<Entry> top;
    Answer root = lib_list(c.settings, "/");
    if (!root.ok() || !read_listing(root.doc, top)) return "";
    std::vector<std::string> names;
    for (const Entry &e : top)
        if (e.folder) names.push_back(e.name);
    if (names.empty()) return " (the playlist has no groups)";
    std::string guess = did_you_mean(nearest_names(group, names));
    return guess.empty() ? " ('vqiptv groups' lists them)" : "; " + guess;
}

int no_such_group(Context &c, const Answer &a, const std::string &group) {
    if (c.opts.json) c.out << a.doc << "\n";
    c.err << "vqiptv: " << message(c, a) << ": no group \"" << group << "\"" << group_hint(c, group) << "\n";
    return exit_for_status(a.status);
}

// The names a typed group may stand for, as typed first: with "∕" read as
// the "/" it stands for, and without the slash a shell's completion of a
// folder leaves at the end.
std::vector<std::string> group_spellings(const std::string &group) {
    std::vector<std::string> out;
    for (const std::string &name : {group, with_slashes(group)}) {
        for (std::string spelling : {name, name.substr(0, name.find_last_not_of('/') + 1)})
            if (!spelling.empty() && std::find(out.begin(), out.end(), spelling) == out.end())
                out.push_back(spelling);
    }
    return out;
}

// The listing of the group the user named, under the first of its spellings
// that names one; tried is the last spelling asked for.
Answer group_listing(Context &c, const std::string &group, std::string &tried) {
    std::vector<std::string> spellings = group_spellings(group);
    if (spellings.empty()) spellings.push_back(group);
    Answer a;
    for (const std::string &name : spellings)
        if ((a = lib_list(c.settings, group_path(tried = name))).status != QVX_E_NOT_FOUND) break;
    return a;
}

int channels(Context &c) {
    std::string tried;
    Answer a = group_listing(c, c.opts.operands[0], tried);
    return a.status == QVX_E_NOT_FOUND ? no_such_group(c, a, tried) : show_listing(c, a);
}

// Hands take the listing of the playlist's root, then that of every group;
// take answers false for a document it cannot read. Answers kExitOk, or the
// exit status of a failure already reported.
template <typename Take>
int each_listing(Context &c, Take take) {
    Answer root = lib_list(c.settings, "/");
    std::vector<Entry> top;
    if (!root.ok()) return fail(c, root);
    bool readable = read_listing(root.doc, top) && take(root.doc);
    for (size_t i = 0; readable && i < top.size(); ++i) {
        if (!top[i].folder) continue;
        Answer a = lib_list(c.settings, top[i].path);
        if (!a.ok()) return fail(c, a);
        readable = take(a.doc);
    }
    return readable ? kExitOk : unreadable(c);
}

// The channels of the whole playlist that match key.
int find_channels(Context &c, const std::string &key, Match match, std::vector<Hit> &hits) {
    return each_listing(c, [&](const std::string &doc) { return find_in_listing(doc, key, match, hits); });
}

int search(Context &c) {
    const std::string &text = c.opts.operands[0];
    std::vector<Hit> hits;
    if (int exit = find_channels(c, search_key(text), Match::holds, hits)) return exit;
    if (c.opts.json) c.out << hits_json(hits) << "\n";
    else if (!hits.empty()) c.out << render_hits(hits, terminal_width());
    if (!hits.empty()) return kExitOk;
    c.err << "vqiptv: no channel matches \"" << text << "\"\n";
    return kExitNotFound;
}

// The same stream listed in several groups is one channel.
bool one_channel(const std::vector<Hit> &hits) {
    for (const Hit &h : hits)
        if (h.entry.id != hits[0].entry.id) return false;
    return !hits.empty();
}

int nobody_named(Context &c, const Answer &a) {
    if (c.opts.json) c.out << a.doc << "\n";
    c.err << "vqiptv: " << message(c, a) << "; no channel is named \"" << c.opts.operands[0] << "\" either\n";
    return exit_for_status(a.status);
}

int several_named(Context &c, const std::vector<Hit> &hits) {
    c.err << "vqiptv: " << hits.size() << " channels are named \"" << c.opts.operands[0]
          << "\"; give one of their ids:\n" << render_hits(hits, terminal_width());
    return kExitUsage;
}

// The stream document of the channel the operand names: by id, else by its
// name, letter case and accents aside. When neither finds it, the library's
// answer to the id stands. Answers kExitOk with the document in a, or an exit
// status.
int resolve_operand(Context &c, Answer &a) {
    const std::string &operand = c.opts.operands[0];
    a = lib_stream_url(c.settings, "{\"id\":" + json_string(operand) + "}");
    if (a.status != QVX_E_NOT_FOUND) return a.ok() ? kExitOk : fail(c, a);
    std::vector<Hit> hits;
    if (int exit = find_channels(c, search_key(operand), Match::name_is, hits)) return exit;
    if (hits.empty()) return nobody_named(c, a);
    if (!one_channel(hits)) return several_named(c, hits);
    a = lib_stream_url(c.settings, hits[0].json);
    return a.ok() ? kExitOk : fail(c, a);
}

void warn_unsent(Context &c, const std::string &player, const PlayerLine &line) {
    for (const std::string &name : line.unsent)
        c.err << "vqiptv: " << player << " cannot send the header " << name << " (mpv and ffplay can)\n";
}

int resolve(Context &c) {
    Answer a;
    if (int exit = resolve_operand(c, a)) return exit;
    return answer(c, a, [&](const std::string &doc) {
        Stream s;
        if (!read_stream(doc, s)) return false;
        if (c.opts.player.empty()) return c.out << render_stream(s), true;
        PlayerLine line = player_line(c.opts.player, s, c.opts.player_args);
        warn_unsent(c, c.opts.player, line);
        c.out << shell_line(line.argv) << "\n";
        return true;
    });
}

std::string looked_for(const Options &opts) {
    if (!opts.player.empty()) return opts.player;
    std::string names;
    for (std::string_view n : kPlayerNames) names += (names.empty() ? "" : ", ") + std::string(n);
    return names;
}

// The exit status of a player's run, and what went wrong when it failed.
int player_ended(Context &c, const std::string &player, const PlayerEnd &end) {
    if (end.start_error != 0) {
        c.err << "vqiptv: cannot run " << player << ": " << std::strerror(end.start_error) << "\n";
        return kExitNoPlayer;
    }
    int status = end.wait_status;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return kExitOk;
    if (WIFEXITED(status)) c.err << "vqiptv: " << player << " ended with status " << WEXITSTATUS(status) << "\n";
    else c.err << "vqiptv: " << player << " ended by signal " << WTERMSIG(status) << "\n";
    return kExitPlayerFailed;
}

int play(Context &c) {
    Answer a;
    Stream s;
    if (int exit = resolve_operand(c, a)) return exit;
    if (!read_stream(a.doc, s)) return unreadable(c);
    std::string player = c.opts.player.empty() ? first_player_on_path() : c.opts.player;
    if (player.empty() || !on_path(player)) {
        c.err << "vqiptv: no player found (looked for " << looked_for(c.opts) << " on PATH)\n";
        return kExitNoPlayer;
    }
    PlayerLine line = player_line(player, s, c.opts.player_args);
    warn_unsent(c, player, line);
    c.out.flush();
    c.err.flush();
    return player_ended(c, player, run_player(line.argv));
}

int validate(Context &c) {
    return answer(c, lib_validate(c.settings), [&](const std::string &doc) {
        std::string pretty = render_pretty(doc);
        c.out << pretty;
        return !pretty.empty();
    });
}

// With a source, its root is listed first so the numbers show that exchange.
int stats(Context &c) {
    if (c.opts.source != SourceKind::standard) {
        Answer a = lib_list(c.settings, "/");
        if (!a.ok()) return fail(c, a);
    }
    Answer doc{0, vqiptv_stats_json(), ""};
    return answer(c, doc, [&](const std::string &text) {
        std::string tree = render_tree(text);
        c.out << tree;
        return !tree.empty();
    });
}

// Every channel, or those of the groups named, probed; the library's
// download copied on its way in when the live ones' lines are to be written.
int check(Context &c) {
    if (!c.opts.write_live.empty()) keep_playlist_copy();
    Checklist list;
    auto take = [&](const std::string &doc) { return list.add(doc); };
    if (c.opts.operands.empty()) {
        if (int exit = each_listing(c, take)) return exit;
    }
    for (const std::string &group : c.opts.operands) {
        std::string tried;
        Answer a = group_listing(c, group, tried);
        if (a.status == QVX_E_NOT_FOUND) return no_such_group(c, a, tried);
        if (!a.ok()) return fail(c, a);
        if (!take(a.doc)) return unreadable(c);
    }
    return run_check(c.opts, c.settings, list, c.out, c.err);
}

struct Handler {
    Command command;
    int (*run)(Context &);
};

constexpr std::array kHandlers = {
    Handler{Command::groups, groups},     Handler{Command::channels, channels},
    Handler{Command::resolve, resolve},   Handler{Command::validate, validate},
    Handler{Command::stats, stats},       Handler{Command::search, search},
    Handler{Command::play, play},         Handler{Command::check, check},
};

bool needs_source(const Options &opts) {
    return opts.command != Command::stats || opts.source != SourceKind::standard;
}

}  // namespace

int run(const Options &opts, std::ostream &out, std::ostream &err) {
    if (opts.command == Command::help)
        return out << (opts.operands.empty() ? usage_text() : command_help(opts.operands[0])), kExitOk;
    if (opts.command == Command::version) return out << "vqiptv " << vqiptv_version() << "\n", kExitOk;
    if (opts.command == Command::inspect) return run_inspect(opts, out, err);
    Context c{opts, out, err, ""};
    if (needs_source(opts)) {
        Prepared p = prepare_source(opts);
        if (p.exit != kExitOk) return err << "vqiptv: " << p.error << "\n", p.exit;
        c.settings = p.settings;
    }
    for (const Handler &h : kHandlers)
        if (h.command == opts.command) return h.run(c);
    return kExitUsage;
}

}  // namespace vqt
