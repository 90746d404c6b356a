#include "commands.h"

#include <array>

#include "layout.h"
#include "library.h"
#include "quorvex_iptv.h"
#include "render.h"

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
    for (size_t at; (at = text.find(url)) != std::string::npos;) text.replace(at, url.size(), c.opts.source_value);
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

int channels(Context &c) { return show_listing(c, lib_list(c.settings, group_path(c.opts.operands[0]))); }

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
    Handler{Command::stats, stats},
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
