#include "credentials.h"

#include <rapidjson/document.h>

#include <string_view>

#include "common/ascii.h"
#include "source_client/fetch/url_credentials.h"

namespace vqt {
namespace {

constexpr std::string_view kUnauthorized = "HTTP 401 from ";

struct Carried {
    std::string url;      // the settings' "URL", "" for the default
    bool userinfo = false;
    bool authorization = false;
};

Carried carried_by(const std::string &settings) {
    Carried c;
    rapidjson::Document d;
    if (d.Parse(settings.c_str(), settings.size()).HasParseError() || !d.IsObject()) return c;
    if (auto url = d.FindMember("URL"); url != d.MemberEnd() && url->value.IsString())
        c.url.assign(url->value.GetString(), url->value.GetStringLength());
    c.userinfo = !vqc::url_userinfo(c.url).empty();
    if (auto headers = d.FindMember("Headers"); headers != d.MemberEnd() && headers->value.IsObject()) {
        for (const auto &m : headers->value.GetObject())
            c.authorization = c.authorization ||
                              vq_ieq(std::string_view(m.name.GetString(), m.name.GetStringLength()), "Authorization");
    }
    return c;
}

// What the settings carried, with the verb that goes with it.
std::string carried(const Carried &c) {
    if (c.userinfo && c.authorization) return "the URL's user name and password and the Authorization header were";
    return c.userinfo ? "the URL's user name and password were" : "the Authorization header was";
}

}  // namespace

std::string unauthorized_note(const std::string &settings, const std::string &message) {
    if (message.rfind(kUnauthorized, 0) != 0) return "";
    Carried c = carried_by(settings);
    if (!c.userinfo && !c.authorization)
        return " (no credentials were sent: the URL names no user and no Authorization header was given)";
    std::string refused_by = message.substr(kUnauthorized.size());
    if (vqc::same_origin(c.url, refused_by)) return " (" + carried(c) + " sent and refused)";
    return " (" + carried(c) + " not sent: credentials go to the URL's own origin only)";
}

}  // namespace vqt
