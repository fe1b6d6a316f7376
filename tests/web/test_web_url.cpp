// URL splitting and the every-byte percent-encoder.
#include "web/url.h"

#include <gtest/gtest.h>

using orbiq::Text;

namespace {

struct UrlCase {
    const char* url;
    const char* host;
    int32_t port;
    const char* path;
};

class UrlSplitTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlSplitTest, HostPortAndPath) {
    const UrlCase& c = GetParam();
    const Text url(c.url);
    EXPECT_EQ(orbiq::GetUrlHost(url), Text(c.host));
    EXPECT_EQ(orbiq::GetUrlPort(url), c.port);
    EXPECT_EQ(orbiq::GetUrlPath(url), Text(c.path));
}

INSTANTIATE_TEST_SUITE_P(Urls, UrlSplitTest, ::testing::Values(
    UrlCase{"http://example.com", "example.com", 80, "/"},
    UrlCase{"http://example.com/", "example.com", 80, "/"},
    UrlCase{"HTTP://Example.COM/Box/A.asp?X=1#f", "example.com", 80, "/Box/A.asp?X=1#f"},
    UrlCase{"hTtP://host:8080/x", "host", 8080, "/x"},
    UrlCase{"host:8080/a/b?x=1", "host", 8080, "/a/b?x=1"},
    UrlCase{"example.com", "example.com", 80, "/"},
    UrlCase{"http://host:8080", "host", 8080, "/"},
    UrlCase{"http://host:/", "host", 0, "/"},
    UrlCase{"http://host:abc/", "host", 0, "/"},
    UrlCase{"http://host: 81/", "host", 0, "/"},
    UrlCase{"http://host:81x/", "host", 81, "/"},
    UrlCase{"http://host:8080:9090/", "host", 8080, "/"},
    UrlCase{"http://host/a:b", "host", 80, "/a:b"},
    UrlCase{"/path/only", "", 80, "/path/only"},
    UrlCase{"", "", 80, "/"},
    UrlCase{"http://", "", 80, "//"},
    // https is no scheme here: the authority is "https:".
    UrlCase{"https://secure.example.com/a", "https", 0, "//secure.example.com/a"},
    // A user name and password are not recognised either.
    UrlCase{"http://user:pw@host/p", "user", 0, "/p"},
    UrlCase{"http://user:8@host/p", "user", 8, "/p"},
    // The path search starts where the host text first occurs, here inside "http://".
    UrlCase{"http://tp/x", "tp", 80, "//tp/x"},
    UrlCase{"http://TP:81/x", "tp", 81, "//TP:81/x"},
    UrlCase{"http://www.example.com/www", "www.example.com", 80, "/www"}));

TEST(PercentEncodeAllBytesTest, EscapesEveryByteInUpperCaseHex) {
    struct Case {
        Text in;
        const char* out;
    };
    const Case cases[] = {
        {Text(""), ""},
        {Text("abc"), "%61%62%63"},
        {Text("AZ09"), "%41%5A%30%39"},
        {Text("-._~"), "%2D%2E%5F%7E"},
        {Text(" +"), "%20%2B"},
        {Text("\t\r\n"), "%09%0D%0A"},
        {Text("%25"), "%25%32%35"},
        {Text(std::string("\0\xff", 2)), "%00%FF"},
        {TXT("中文"), "%D6%D0%CE%C4"},
        {TXT("delete from [留言列表] where 客人名称='游客'"), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in.Bytes());
        Text encoded = orbiq::PercentEncodeAllBytes(c.in);
        EXPECT_EQ(encoded.Length(), c.in.Length() * 3);
        if (c.out) {
            EXPECT_EQ(encoded, Text(c.out));
        }
        for (int32_t i = 0; i < encoded.Length(); i += 3) EXPECT_EQ(encoded.Bytes()[i], '%');
    }
}

}  // namespace
