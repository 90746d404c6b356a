// Driving the library through its exported functions: settings and entry
// documents, and the JSON answers read back as RapidJSON documents.
#pragma once
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <memory>
#include <string>

#include "quorvex_iptv.h"

inline std::string to_json(const rapidjson::Value &v) {
    rapidjson::StringBuffer sb;
    rapidjson::Writer<rapidjson::StringBuffer> w(sb);
    v.Accept(w);
    return sb.GetString();
}

inline std::string settings_for(const std::string &url) {
    rapidjson::Document d(rapidjson::kObjectType);
    d.AddMember("URL", rapidjson::Value(url.c_str(), d.GetAllocator()), d.GetAllocator());
    return to_json(d);
}

// One operation's outcome; the document is read back whatever its size and
// parsed only when asked for, so that nothing of the test allocates while an
// allocation fault is armed.
struct answer {
    int32_t status = 0;
    std::string json;
    std::string error;
    const rapidjson::Document &doc() {
        if (!tree_) {
            tree_ = std::make_unique<rapidjson::Document>();
            tree_->Parse(json.c_str());
        }
        return *tree_;
    }

private:
    std::unique_ptr<rapidjson::Document> tree_;
};

template <class Op>
answer run_op(Op op) {
    answer a;
    char small[64];
    a.status = op(small, static_cast<int32_t>(sizeof small));
    if (a.status == QVX_E_BUFFER_TOO_SMALL) a.status = QVX_OK;  // the whole document stays readable
    a.json = vqiptv_result_json();
    a.error = vqiptv_last_error();
    return a;
}

inline answer list_folder(const std::string &settings, const char *path) {
    return run_op([&](char *out, int32_t n) { return vqiptv_list(settings.c_str(), path, out, n); });
}

inline answer resolve(const std::string &settings, const std::string &entry) {
    return run_op([&](char *out, int32_t n) { return vqiptv_stream_url(settings.c_str(), entry.c_str(), out, n); });
}

inline answer validate(const std::string &settings) {
    return run_op([&](char *out, int32_t n) { return vqiptv_validate(settings.c_str(), out, n); });
}
