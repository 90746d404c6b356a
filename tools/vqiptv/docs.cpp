#include "docs.h"

#include <rapidjson/document.h>

namespace vqt {
namespace {

std::string text(const rapidjson::Value &obj, const char *key) {
    auto m = obj.FindMember(key);
    return m != obj.MemberEnd() && m->value.IsString() ? std::string(m->value.GetString(), m->value.GetStringLength())
                                                        : std::string();
}

Entry entry(const rapidjson::Value &v) {
    Entry e;
    e.id = text(v, "id");
    e.name = text(v, "name");
    e.path = text(v, "path");
    e.group = text(v, "group");
    e.stream_url = text(v, "stream_url");
    auto folder = v.FindMember("folder");
    e.folder = folder != v.MemberEnd() && folder->value.IsTrue();
    auto count = v.FindMember("count");
    if (count != v.MemberEnd() && count->value.IsInt64()) e.count = count->value.GetInt64();
    return e;
}

}  // namespace

bool read_listing(const std::string &doc, std::vector<Entry> &entries) {
    rapidjson::Document d;
    if (d.Parse(doc.c_str(), doc.size()).HasParseError() || !d.IsArray()) return false;
    for (const auto &v : d.GetArray()) {
        if (!v.IsObject()) return false;
        entries.push_back(entry(v));
    }
    return true;
}

bool read_stream(const std::string &doc, Stream &stream) {
    rapidjson::Document d;
    if (d.Parse(doc.c_str(), doc.size()).HasParseError() || !d.IsObject()) return false;
    stream.url = text(d, "url");
    auto headers = d.FindMember("headers");
    if (headers == d.MemberEnd() || !headers->value.IsObject()) return !stream.url.empty();
    for (const auto &h : headers->value.GetObject())
        if (h.value.IsString()) stream.headers.emplace_back(h.name.GetString(), h.value.GetString());
    return !stream.url.empty();
}

}  // namespace vqt
