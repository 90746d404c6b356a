#include "commands.h"

#include <array>

#include "layout.h"
#include "library.h"
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
    c.err << "vqiptv: " << message(c, a) << "\n";
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

int channels(Context &c) {
    const std::string &group = c.opts.operands[0];
    Answer a = lib_list(c.settings, group_path(group));
    if (a.status == QVX_E_NOT_FOUND && with_slashes(group) != group)
        a = lib_list(c.settings, group_path(with_slashes(group)));
    return a.status == QVX_E_NOT_FOUND ? no_such_group(c, a, group) : show_listing(c, a);
}

// The whole playlist: the channels at its root, then those of every group.
int search(Context &c) {
    const std::string &text = c.opts.operands[0];
    Answer root = lib_list(c.settings, "/");
    std::vector<Entry> top;
    if (!root.ok()) return fail(c, root);
    std::string key = search_key(text);
    std::vector<Hit> hits;
    bool readable = read_listing(root.doc, top) && find_in_listing(root.doc, key, hits);
    for (size_t i = 0; readable && i < top.size(); ++i) {
        if (!top[i].folder) continue;
        Answer a = lib_list(c.settings, top[i].path);
        if (!a.ok()) return fail(c, a);
        readable = find_in_listing(a.doc, key, hits);
    }
    if (!readable) return unreadable(c);
    if (c.opts.json) c.out << hits_json(hits) << "\n";
    else if (!hits.empty()) c.out << render_hits(hits, terminal_width());
    if (!hits.empty()) return kExitOk;
    c.err << "vqiptv: no channel matches \"" << text << "\"\n";
    return kExitNotFound;
}

int resolve(Context &c) {
    Answer a = lib_stream_url(c.settings, "{\"id\":" + json_string(c.opts.operands[0]) + "}");
    return answer(c, a, [&](const std::string &doc) {
        Stream s;
        if (!read_stream(doc, s)) return false;
        c.out << (c.opts.player.empty() ? render_stream(s) : player_command(c.opts.player, s) + "\n");
        return true;
    });
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

struct Handler {
    Command command;
    int (*run)(Context &);
};

constexpr std::array kHandlers = {
    Handler{Command::groups, groups},     Handler{Command::channels, channels},
    Handler{Command::resolve, resolve},   Handler{Command::validate, validate},
    Handler{Command::stats, stats},       Handler{Command::search, search},
};

bool needs_source(const Options &opts) {
    return opts.command != Command::stats || opts.source != SourceKind::standard;
}

}  // namespace

int run(const Options &opts, std::ostream &out, std::ostream &err) {
    if (opts.command == Command::help) return out << usage_text(), kExitOk;
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
