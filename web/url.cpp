#include "web/url.h"

#include "common/percent_encoding.h"

namespace orbiq {
namespace {

// Plain literals: a detached worker may still split a URL while static objects are destroyed.
constexpr char kScheme[] = "http://";
constexpr char kSlash[] = "/";
constexpr char kColon[] = ":";

Text Authority(const Text& url) {
    if (url.Left(7).LowerAscii() == Text(kScheme)) {
        int32_t p = url.Find(Text(kSlash), 8);
        return p != -1 ? url.Mid(8, p - 8) : url.Mid(8);
    }
    int32_t p = url.Find(Text(kSlash), 1);
    return p != -1 ? url.Left(p - 1) : url;
}

}  // namespace

Text GetUrlHost(const Text& url) {
    Text authority = Authority(url);
    int32_t c = authority.Find(Text(kColon), 1);
    Text host = c != -1 ? authority.Left(c - 1) : authority;
    return host.LowerAscii();
}

int32_t GetUrlPort(const Text& url) {
    Text authority = Authority(url);
    int32_t c = authority.Find(Text(kColon), 1);
    Text portText = c != -1 ? authority.Right(authority.Length() - c) : Text("80");
    if (portText.Empty() || portText.Bytes()[0] < '0' || portText.Bytes()[0] > '9') return 0;
    return portText.ToInt32();
}

Text GetUrlPath(const Text& url) {
    Text host = GetUrlHost(url);
    int32_t h = url.FindNoCase(host, 1);
    int32_t s = url.Find(Text(kSlash), h);
    return s != -1 ? url.Mid(s) : Text(kSlash);
}

Text PercentEncodeAllBytes(const Text& text) { return Text(PercentEncode(text.Bytes(), AnyByte)); }

}  // namespace orbiq
