// Reading the settings document every operation receives, and the first
// steps the operations share: the settings, the backend, the playlist.
#include "source_client/ops/settings.h"

#include <cstring>
#include <string_view>

#include "common/ascii.h"

#include "source_client/cache/cache.h"
#include "source_client/fetch/url_credentials.h"
#include "source_client/util/limits.h"
#include "source_client/util/message.h"
#include "source_client/util/url_util.h"

namespace vqc {

namespace {

using vqjson::Value;

// The user name and password of url are refused before any request: a
// control byte in them would reach the transport's header lines. The message
// names the part, never its text.
int credentials_sendable(const char *url, char *msg) {
    url_part part = credentials_control(url);
    if (part == url_part::none) return 0;
    return say(msg, QVX_E_INVALID, "URL: the %s holds a control byte",
               part == url_part::user ? "user name" : "password");
}

// The "URL" member: the default when absent, null or empty; -8 when it is not
// a string, is longer than kMaxUrlBytes, is no absolute http(s) URL or holds
// credentials that cannot be sent.
int pick_url(settings &s, char *msg) {
    const Value *v = vqjson::find_first(s.doc, "URL");
    if (v && !v->IsNull() && !v->IsString()) return say(msg, QVX_E_INVALID, "URL is not a string");
    s.used_default = !v || v->IsNull() || v->GetStringLength() == 0;
    if (!s.used_default && v->GetStringLength() > kMaxUrlBytes)
        return say(msg, QVX_E_INVALID, "URL is too long: %u bytes, at most %u", v->GetStringLength(),
                   static_cast<unsigned>(kMaxUrlBytes));
    s.url = s.used_default ? kDefaultPlaylistUrl : v->GetString();
    // An escaped NUL would silently cut the URL that is fetched.
    bool whole = s.used_default || std::strlen(s.url) == v->GetStringLength();
    if (whole && vqiptv_url_is_http(s.url)) return credentials_sendable(s.url, msg);
    char shown[512];
    vqiptv_redact_url(s.url, shown, sizeof shown);
    return say(msg, QVX_E_INVALID, "URL is not an absolute http(s) URL: %s", shown);
}

// The members the settings' reader takes, spelt only so.
constexpr const char *kMembers[] = {"URL", "UserAgent", "Headers"};

// -8 for a member that is one of kMembers in another letter case while the
// member itself is absent: "url" would otherwise leave the default playlist
// listed in place of the one the caller meant. Beside the member itself such
// a member stays the host's, as every other.
int refuse_other_spellings(const vqjson::Doc &doc, char *msg) {
    for (const char *member : kMembers) {
        if (vqjson::find_first(doc, member)) continue;
        for (const auto &m : doc.GetObject()) {
            std::string_view name(m.name.GetString(), m.name.GetStringLength());
            if (vq_ieq(name, member))
                return say(msg, QVX_E_INVALID, "settings member \"%.*s\" must be spelt \"%s\"",
                           static_cast<int>(name.size()), name.data(), member);
        }
    }
    return 0;
}

}  // namespace

int read_settings(const char *settings_json, settings &s, char *msg) {
    s.url = nullptr;
    s.used_default = 0;
    if (!settings_json) return say(msg, QVX_E_INVALID, "settings_json is NULL");
    vqjson::Status st = vqjson::parse_strict(s.doc, settings_json);
    if (st == vqjson::kNoMemory) return say(msg, QVX_E_CONTENT, "out of memory");
    if (st != vqjson::kOk || !s.doc.IsObject())
        return say(msg, QVX_E_INVALID, "settings_json is not a JSON object");
    if (int rc = refuse_other_spellings(s.doc, msg)) return rc;
    if (int rc = pick_url(s, msg)) return rc;
    return read_settings_headers(s.doc, s.headers, msg);
}

int open_playlist(const quorvex_io *io, const char *settings_json, settings &s, int refresh, playlist **pl,
                  char *msg) {
    *pl = nullptr;
    if (int rc = read_settings(settings_json, s, msg)) return rc;
    if (!io_usable(io)) return say(msg, QVX_E_INVALID, "%s", kNoBackend);
    return ensure(io, s.url, refresh, pl, msg, &s.headers.fetch);
}

}  // namespace vqc
