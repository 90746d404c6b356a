// The option lines through a conversion: which channel receives which
// "#EXTVLCOPT" option, "#EXTHTTP" object or "#KODIPROP" header list, and how
// an option line is read.
#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

#include "model_support.h"

namespace {

struct option_case {
    const char *why;
    std::string text;
    const char *want;  // "index:agent|referrer" and "index+form:text" for every channel that got any
};

const option_case kCases[] = {
    {"agent and referrer for the next entry only",
     "#EXTM3U\n#EXTVLCOPT:http-user-agent=Agent/1\n#EXTINF:-1,A\n#EXTVLCOPT:http-referrer=http://r/\nhttp://a\n"
     "#EXTINF:-1,B\nhttp://b\n",
     "0:Agent/1|http://r/"},
    {"any case, spaces around '=', quotes", "#EXTM3U\n#EXTINF:-1,A\n#extvlcopt: HTTP-Referer = \"R1\"\nhttp://a\n",
     "0:-|R1"},
    {"no colon at all", "#EXTM3U\n#EXTINF:-1,A\n#EXTVLCOPThttp-user-agent=U\nhttp://a\n", "0:U|-"},
    {"a later option of the same kind wins",
     "#EXTM3U\n#EXTINF:-1,A\n#EXTVLCOPT:http-user-agent=A\n#EXTVLCOPT:http-user-agent=B\nhttp://a\n", "0:B|-"},
    {"empty, quoted-empty, keyless and unknown options are ignored",
     "#EXTM3U\n#EXTINF:-1,A\n#EXTVLCOPT:http-user-agent=\n#EXTVLCOPT:http-user-agent=\"\"\n"
     "#EXTVLCOPT:http-user-agent\n#EXTVLCOPT:network-caching=1000\nhttp://a\n",
     ""},
    {"a lone quote is kept", "#EXTM3U\n#EXTINF:-1,A\n#EXTVLCOPT:http-user-agent=\"\nhttp://a\n", "0:\"|-"},
    {"the value keeps inner spaces and '='", "#EXTM3U\n#EXTINF:-1,A\n#EXTVLCOPT:http-user-agent= A b=c  \nhttp://a\n",
     "0:A b=c|-"},
    {"CR, CRLF and LF line ends mixed",
     "#EXTM3U\r#EXTINF:-1,A\r\n#EXTVLCOPT:http-user-agent=U\rhttp://a\n#EXTINF:-1,B\nhttp://b\r\n", "0:U|-"},
    {"a NUL ends the content of its line", "#EXTM3U\n#EXTINF:-1,A\n#EXTVLCOPT:http-user-agent=U\0X\nhttp://a\n"s,
     "0:U|-"},
    {"a line whose content a NUL empties is no entry",
     "#EXTM3U\n#EXTVLCOPT:http-user-agent=U\n\0http://hidden\n#EXTINF:-1,A\nhttp://a\n"s, "0:U|-"},
    {"an option after the last entry goes nowhere", "#EXTM3U\n#EXTINF:-1,A\nhttp://a\n#EXTVLCOPT:http-user-agent=U\n",
     ""},
    {"a skipped entry line takes its options along",
     "#EXTM3U\n#EXTVLCOPT:http-user-agent=U\nrelative.ts\n#EXTINF:-1,A\nhttp://a\n", ""},
    {"the tag needs ten bytes", "#EXTM3U\n#EXTINF:-1,A\n#EXTVLCOP\nhttp://a\n", ""},
    {"a tab before the option", "#EXTM3U\n#EXTINF:-1,A\n\t#EXTVLCOPT\t:http-user-agent=T\nhttp://a\n", "0:T|-"},
    {"#EXTHTTP objects and #KODIPROP header lists go to the next entry, as written; other properties do not",
     "#EXTM3U\n#EXTHTTP:{\"Cookie\":\"a\"}\n#EXTINF:-1,A\n#KODIPROP:inputstream.adaptive.license_type=widevine\n"
     "#KODIPROP: inputstream.adaptive.stream_headers = User-Agent=K \nhttp://a\n#EXTINF:-1,B\nhttp://b\n"
     "#EXTINF:-1,C\n#kodiprop:INPUTSTREAM.ADAPTIVE.MANIFEST_HEADERS=Cookie=c\n#EXTHTTP:not json\nhttp://c\n",
     "0+json:{\"Cookie\":\"a\"} 0+list:User-Agent=K 2+list:Cookie=c 2+json:not json"},
    {"a skipped entry takes its header texts along, and no entry follows the last ones",
     "#EXTM3U\n#EXTHTTP:{}\nrelative.ts\n#EXTINF:-1,A\nhttp://a\n#EXTHTTP:{\"X\":\"1\"}\n", ""},
    {"empty texts and header lists are passed over",
     "#EXTM3U\n#EXTINF:-1,A\n#EXTHTTP:  \n#KODIPROP:inputstream.adaptive.stream_headers=\n#KODIPROP:x\nhttp://a\n", ""},
    {"bad UTF-8 in a value is repaired", "#EXTM3U\n#EXTINF:-1,A\n#EXTVLCOPT:http-user-agent=a\xED\xA0\x80\nhttp://a\n",
     "0:a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|-"},
};

std::string options_of(const playlist *p) {
    std::string got;
    auto add = [&](const std::string &one) { got += (got.empty() ? "" : " ") + one; };
    for (int32_t i = 0; i < p->channel_count; i++) {
        std::string_view agent = channel_text(p, i, channel_field::user_agent);
        std::string_view referrer = channel_text(p, i, channel_field::referrer);
        if (!agent.empty() || !referrer.empty()) add(std::to_string(i) + ":" + str_of(agent) + "|" + str_of(referrer));
        header_text_run texts = header_texts_of(p, i);
        for (int32_t t = 0; t < texts.count; t++)
            add(std::to_string(i) + (texts.first[t].form == header_form::json_object ? "+json:" : "+list:") +
                str_at(p, texts.first[t].text));
    }
    return got;
}

TEST(VlcoptOption, MatchesOptionsToEntryLinesByPosition) {
    for (const auto &c : kCases) {
        converted m;
        convert_bytes(c.text, &m);
        ASSERT_EQ(m.status, 0) << c.why << ": " << m.err;
        EXPECT_EQ(options_of(m.p), c.want) << c.why;
    }
}

}  // namespace
