// Headers of a stream from every place a playlist writes them, through the
// exports: the channel listed as written, resolved to a clean URL with the
// headers of its "#EXTVLCOPT" options, its attributes, its "#EXTHTTP" and
// "#KODIPROP" lines and its location's suffix ("URL|User-Agent=...&..."), in
// that order of precedence.
#include <rapidjson/document.h>

#include <string>
#include <vector>

#include "host.h"

namespace {

struct suffix_case {
    std::string what;
    std::string before;  // lines between #EXTINF and the location
    std::string attrs;   // #EXTINF attributes
    std::string location;
    std::string document;
};

const std::vector<suffix_case> kCases = {
    {"Kodi form", "", "", "http://h/live.m3u8|User-Agent=Kodi%2F20&Referer=http%3A%2F%2Fhost%2F",
     R"({"url":"http://h/live.m3u8","headers":{"User-Agent":"Kodi/20","Referer":"http://host/"}})"},
    {"white space around the bar and the pairs", "", "", "http://h/a.m3u8 | User-Agent=VLC &  Referrer=r",
     R"({"url":"http://h/a.m3u8","headers":{"User-Agent":"VLC","Referer":"r"}})"},
    {"option line wins, other headers follow", "#EXTVLCOPT:http-user-agent=Own/1\n", "",
     "http://h/b|Origin=http%3A%2F%2Fo&user-agent=Kodi&REFERER=x",
     R"({"url":"http://h/b","headers":{"User-Agent":"Own/1","Referer":"x","Origin":"http://o"}})"},
    {"attribute wins", "", " http-referrer=\"http://attr/\"", "http://h/c|referrer=r2&Cookie=a%3Db",
     R"({"url":"http://h/c","headers":{"Referer":"http://attr/","Cookie":"a=b"}})"},
    {"later duplicates dropped", "", "", "http://h/d|Origin=a&X-Y=1&origin=b&Referer=r&Referrer=s&&X-Y=2",
     R"({"url":"http://h/d","headers":{"Referer":"r","Origin":"a","X-Y":"1"}})"},
    {"many names, told apart without regard to case; a value not sent leaves its name free", "", "",
     "http://h/m|H1=1&H2=2&H3=3&H4=4&H5=5&H6=6&H7=7&H8=8&H9=9&H10=10&H11=11&H12=12"
     "&H13=13&H14=14&H15=15&H16=16&H17=17&h1=x&X-A=%0A&x-a=2&h17=y&X-A=3",
     R"({"url":"http://h/m","headers":{"H1":"1","H2":"2","H3":"3","H4":"4","H5":"5","H6":"6","H7":"7","H8":"8",)"
     R"("H9":"9","H10":"10","H11":"11","H12":"12","H13":"13","H14":"14","H15":"15","H16":"16","H17":"17",)"
     R"("x-a":"2"}})"},
    {"control bytes and bad UTF-8 never reach a player", "", "",
     "http://h/e|User-Agent=A%0D%0AX-Evil:1&User-Agent=B&Referer=%00&X-Tab=a%09b&X-Bin=%FF&X-Empty=&X-Ok=1",
     R"({"url":"http://h/e","headers":{"User-Agent":"B","X-Ok":"1"}})"},
    {"bars separate pairs too; stray percent signs stay", "", "", "http://h/f|A=1|B=100%&C=%2g%41",
     R"({"url":"http://h/f","headers":{"A":"1","B":"100%","C":"%2gA"}})"},
    {"TiviMate form", "", "", "http://h/t|Referer=https://r.example/|User-Agent=Mozilla/5.0 (X11)",
     R"j({"url":"http://h/t","headers":{"User-Agent":"Mozilla/5.0 (X11)","Referer":"https://r.example/"}})j"},
    {"a plus is a space, %2B a plus", "", "", "http://h/p|User-Agent=Mozilla%2F5.0+%28X11%29&X-P=a%2Bb",
     R"j({"url":"http://h/p","headers":{"User-Agent":"Mozilla/5.0 (X11)","X-P":"a+b"}})j"},
    {"a piece between bars that is no pair", "", "", "http://h/g|A=1|2", R"({"url":"http://h/g|A=1|2","headers":{}})"},
    {"user-agent and referer attributes win over the suffix", "", " user-agent=\"Gen/1\" Referer=\"http://g/\"",
     "http://h/u|User-Agent=S&Referer=s&Origin=o",
     R"({"url":"http://h/u","headers":{"User-Agent":"Gen/1","Referer":"http://g/","Origin":"o"}})"},
    {"http- attributes win over plain ones", "", " referrer=\"plain\" http-referrer=\"http\" USER-AGENT=\"U\"",
     "http://h/a", R"({"url":"http://h/a","headers":{"User-Agent":"U","Referer":"http"}})"},
    {"#EXTHTTP after the attributes, before the suffix; its other headers first",
     R"(#EXTHTTP:{"User-Agent":"J/1","Referer":"http://j/","Cookie":"c=1","origin":"j"})"
     "\n",
     " referer=\"http://attr/\"", "http://h/j|User-Agent=S&Origin=s&X-S=1",
     R"({"url":"http://h/j","headers":{"User-Agent":"J/1","Referer":"http://attr/","Cookie":"c=1","origin":"j",)"
     R"("X-S":"1"}})"},
    {"#EXTHTTP members: strings under header names, sendable, the first of a name",
     R"(#EXTHTTP:{"X-N":1,"Bad Name":"x","X-CR":"a\r\nb","User-Agent":"","user-agent":"J2","X-Ok":"ok","x-ok":"2"})"
     "\n",
     "", "http://h/m", R"({"url":"http://h/m","headers":{"User-Agent":"J2","X-Ok":"ok"}})"},
    {"an #EXTHTTP that is not a JSON object is ignored",
     "#EXTHTTP:{\"User-Agent\":\"J\"\n#EXTHTTP:[\"x\"]\n#EXTHTTP:{'a':'b'}\n", "", "http://h/b|User-Agent=S",
     R"({"url":"http://h/b","headers":{"User-Agent":"S"}})"},
    {"#KODIPROP stream and manifest headers, decoded; other properties ignored",
     "#KODIPROP:inputstream.adaptive.license_type=com.widevine.alpha\n"
     "#KODIPROP:inputstream.adaptive.stream_headers=User-Agent=K%2F1+(x)&Cookie=a%3Db\n"
     "#KODIPROP:inputstream.adaptive.manifest_headers=cookie=other&Referer=http%3A%2F%2Fk%2F&X-M=m\n",
     "", "http://h/k",
     R"j({"url":"http://h/k","headers":{"User-Agent":"K/1 (x)","Referer":"http://k/","Cookie":"a=b","X-M":"m"}})j"},
    {"a #KODIPROP list that is not all pairs is ignored",
     "#KODIPROP:inputstream.adaptive.stream_headers=User-Agent=K&junk\n", "", "http://h/kj",
     R"({"url":"http://h/kj","headers":{}})"},
    {"no pairs", "", "", "http://h/g|notpairs", R"({"url":"http://h/g|notpairs","headers":{}})"},
    {"empty name", "", "", "http://h/g|=x", R"({"url":"http://h/g|=x","headers":{}})"},
    {"name not a token", "", "", "http://h/g|User Agent=x", R"({"url":"http://h/g|User Agent=x","headers":{}})"},
    {"one piece without =", "", "", "http://h/g|A=1&junk", R"({"url":"http://h/g|A=1&junk","headers":{}})"},
    {"empty suffix", "", "", "http://h/g|", R"({"url":"http://h/g|","headers":{}})"},
    {"control bytes of options and attributes never reach a player either",
     "#EXTVLCOPT:http-referrer=http://r/\x0bx\n", " http-user-agent=\"A\x1b[2J\" referer=\"r\x7f\"",
     "http://h/o|User-Agent=S&Referer=s", R"({"url":"http://h/o","headers":{"User-Agent":"S","Referer":"s"}})"},
};

// Headers X-0, X-1, ... as pairs ("X-0=v&X-1=v") or as answered ("X-0":"v",...).
std::string numbered(size_t count, bool answered) {
    std::string out;
    for (size_t i = 0; i < count; ++i)
        out += answered ? (i ? ",\"X-" : "\"X-") + std::to_string(i) + "\":\"v\""
                        : (i ? "&X-" : "X-") + std::to_string(i) + "=v";
    return out;
}

// At most 32 headers besides User-Agent and Referer, each line ("Name: value")
// at most 2047 bytes, as a source's own; the rest is dropped as a bad pair is.
std::vector<suffix_case> bound_cases() {
    std::vector<suffix_case> cases;
    const std::string kodi = "#KODIPROP:inputstream.adaptive.stream_headers=";
    for (size_t n : {31, 32, 33})
        cases.push_back({std::to_string(n) + " others", "", "", "http://h/n|" + numbered(n, false),
                         R"({"url":"http://h/n","headers":{)" + numbered(n > 32 ? 32 : n, true) + "}}"});
    cases.push_back({"100000 others, a user agent after them", kodi + numbered(100000, false) + "&User-Agent=U\n", "",
                     "http://h/n", R"({"url":"http://h/n","headers":{"User-Agent":"U",)" + numbered(32, true) + "}}"});
    for (size_t line : {2046, 2047, 2048, 100000}) {  // an attribute's user agent, a header written "%76%76..."
        std::string agent(line - 12, 'a'), value(line - 5, 'v'), escaped;
        for (size_t i = 0; i < value.size(); ++i) escaped += "%76";
        std::string kept = line <= 2047 ? R"("User-Agent":")" + agent + R"(","X-A":")" + value + "\"" : "";
        cases.push_back({"lines of " + std::to_string(line), kodi + "X-A=" + escaped + "\n",
                         " http-user-agent=\"" + agent + "\"", "http://h/l",
                         R"({"url":"http://h/l","headers":{)" + kept + "}}"});
    }
    return cases;
}

std::string playlist(const suffix_case &c) {
    return std::string("#EXTM3U\n#EXTINF:-1") + c.attrs + ",Channel\n" + c.before + c.location + "\n";
}

// UTF-16LE with its byte order mark, from ASCII text.
std::string utf16le(const std::string &ascii) {
    std::string out = "\xFF\xFE";
    for (char ch : ascii) out += {ch, '\0'};
    return out;
}

class HeaderSuffix : public HostTest {
protected:
    // The playlist's one channel as listed, then resolved by its id.
    void expect_resolution(const std::string &body, const suffix_case &c) {
        SCOPED_TRACE(c.what);
        const std::string url = "http://h.example/suffix.m3u";
        vqiptv_cache_clear();
        server.on(url, ok_body(body));
        std::string settings = "{\"URL\":\"" + url + "\"}";
        rapidjson::Document listing;
        listing.Parse(host_list(settings.c_str(), "/").doc.c_str());
        ASSERT_TRUE(listing.IsArray() && listing.Size() == 1) << c.location;
        const rapidjson::Value &entry = listing[0];
        EXPECT_EQ(entry["stream_url"].GetString(), c.location);
        outcome o = host_stream_url(settings.c_str(), compact(entry).c_str());
        EXPECT_EQ(o.rc, 0) << o.error;
        EXPECT_EQ(o.doc, c.document);
    }
};

TEST_F(HeaderSuffix, ResolvedByIdFromAnUtf8Playlist) {
    for (const auto &c : kCases) expect_resolution(playlist(c), c);
}

TEST_F(HeaderSuffix, BoundedAsTheSettingsHeaders) {
    for (const auto &c : bound_cases()) expect_resolution(playlist(c), c);
}

TEST_F(HeaderSuffix, ResolvedByIdFromAnUtf16Playlist) {
    for (const auto &c : kCases) expect_resolution(utf16le(playlist(c)), c);
}

// An entry of the host's making: its absolute "stream_url" or "url" is split
// the same way, without settings or network.
TEST_F(HeaderSuffix, DirectResolution) {
    const struct {
        const char *entry, *document;
    } cases[] = {
        {R"({"stream_url":"http://h/x.m3u8 |User-Agent=Kodi%2F20&Origin=o"})",
         R"({"url":"http://h/x.m3u8","headers":{"User-Agent":"Kodi/20","Origin":"o"}})"},
        {R"({"url":"rtmp://s/app|Referer=http%3A%2F%2Fr%2F"})",
         R"({"url":"rtmp://s/app","headers":{"Referer":"http://r/"}})"},
        {R"({"stream_url":"http://h/y|no pairs"})", R"({"url":"http://h/y|no pairs","headers":{}})"},
    };
    for (const auto &c : cases) {
        outcome o = host_stream_url("not settings", c.entry);
        EXPECT_EQ(o.rc, 0) << c.entry << ": " << o.error;
        EXPECT_EQ(o.doc, c.document) << c.entry;
    }
    EXPECT_EQ(server.requests().size(), 0u);
}

}  // namespace
