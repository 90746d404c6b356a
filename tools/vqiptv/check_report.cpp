#include "check_report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>
#include <numeric>

#include "layout.h"
#include "library.h"
#include "source_client/util/url_util.h"

namespace vqt {
namespace {

bool live(const Checklist &list, const Checklist::Row &row) { return list.verdicts[row.stream].cause == Cause::live; }

// Rows by group in listing order, live ones first in each, else as listed.
std::vector<uint32_t> table_order(const Checklist &list) {
    std::vector<uint32_t> order(list.rows.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const Checklist::Row &x = list.rows[a], &y = list.rows[b];
        return x.group != y.group ? x.group < y.group : live(list, x) > live(list, y);
    });
    return order;
}

std::string ms_text(const Verdict &v) { return v.cause == Cause::live ? std::to_string(v.ms) + " ms" : ""; }

std::string redacted(const std::string &url) {
    std::string out(url.size() + 16, '\0');  // "?<redacted>" at most replaces what it marks
    vqc::vqiptv_redact_url(url.c_str(), out.data(), out.size());
    out.resize(std::strlen(out.c_str()));
    return out;
}

}  // namespace

std::string id_text(uint64_t id) {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, id);
    return text;
}

void write_table(const Checklist &list, std::ostream &out, size_t width) {
    bool grouped = std::any_of(list.groups.begin(), list.groups.end(), [](const std::string &g) { return !g.empty(); });
    std::vector<Column> columns = {{"NAME", false, Cut::end}};
    if (grouped) columns.push_back({"GROUP", false, Cut::end});
    columns.push_back({"VERDICT", false, Cut::none});
    columns.push_back({"FIRST BYTE", true, Cut::none});
    Table t(columns);
    for (uint32_t r : table_order(list)) {
        const Checklist::Row &row = list.rows[r];
        const Verdict &v = list.verdicts[row.stream];
        std::vector<std::string_view> cells = {row.name};
        if (grouped) cells.push_back(list.groups[row.group]);
        cells.push_back(t.keep(verdict_text(v)));
        cells.push_back(t.keep(ms_text(v)));
        t.add(std::move(cells));
    }
    t.write(out, width);
}

std::string summary(const Checklist &list) {
    std::map<std::string, size_t> dead;
    size_t live_rows = 0;
    for (const Checklist::Row &row : list.rows) {
        if (live(list, row)) ++live_rows;
        else ++dead[verdict_text(list.verdicts[row.stream])];
    }
    std::vector<std::pair<std::string, size_t>> causes(dead.begin(), dead.end());
    std::stable_sort(causes.begin(), causes.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
    std::string text = plural(list.rows.size(), "channel", "channels") + ": " + std::to_string(live_rows) + " live";
    if (causes.empty()) return text + "\n";
    text += ", " + std::to_string(list.rows.size() - live_rows) + " dead (";
    for (size_t i = 0; i < causes.size(); ++i)
        text += (i ? ", " : "") + std::to_string(causes[i].second) + " " + causes[i].first;
    return text + ")\n";
}

std::string json_line(const Checklist &list, uint32_t r, const std::string &url) {
    const Checklist::Row &row = list.rows[r];
    const Verdict &v = list.verdicts[row.stream];
    bool is_live = v.cause == Cause::live;
    return "{\"id\":\"" + id_text(list.ids[row.stream]) + "\",\"name\":" + json_string(row.name) +
           ",\"group\":" + json_string(list.groups[row.group]) + ",\"url\":" + json_string(redacted(url)) +
           ",\"verdict\":\"" + (is_live ? "live" : "dead") +
           "\",\"cause\":" + (is_live ? "null" : json_string(verdict_text(v))) +
           ",\"ms\":" + (is_live ? std::to_string(v.ms) : "null") + "}";
}

}  // namespace vqt
