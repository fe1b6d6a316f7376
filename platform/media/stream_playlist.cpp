#include "platform/media/stream_playlist.h"

#include <algorithm>
#include <cctype>

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QUrl>

#include "common/text.h"

namespace orbiq::platform {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), s.begin(), [](char a, char b) { return Lower(a) == Lower(b); });
}

size_t FindNoCase(std::string_view s, std::string_view what, size_t from) {
    for (size_t i = from; i + what.size() <= s.size(); ++i)
        if (StartsWithNoCase(s.substr(i), what)) return i;
    return std::string_view::npos;
}

bool ValidUtf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).toUtf8() ==
           QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

std::string DecodeEntities(std::string_view s) {
    static const std::pair<const char*, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t i = 0; i < s.size();) {
        bool done = false;
        if (s[i] == '&')
            for (const auto& [name, c] : kEntities)
                if (StartsWithNoCase(s.substr(i), name)) {
                    out += c;
                    i += std::string_view(name).size();
                    done = true;
                    break;
                }
        if (!done) out += s[i++];
    }
    return out;
}

// The value of attribute name in the tag text (between "<" and ">"), if any.
std::optional<std::string> Attribute(std::string_view tag, std::string_view name) {
    for (size_t at = FindNoCase(tag, name, 0); at != std::string_view::npos; at = FindNoCase(tag, name, at + 1)) {
        if (at == 0 || !std::isspace(static_cast<unsigned char>(tag[at - 1]))) continue;
        size_t i = at + name.size();
        while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i]))) ++i;
        if (i >= tag.size() || tag[i] != '=') continue;
        ++i;
        while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i]))) ++i;
        if (i >= tag.size()) return std::nullopt;
        const char quote = tag[i];
        if (quote == '"' || quote == '\'') {
            const size_t end = tag.find(quote, i + 1);
            if (end == std::string_view::npos) return std::nullopt;
            return DecodeEntities(tag.substr(i + 1, end - i - 1));
        }
        size_t end = i;
        while (end < tag.size() && !std::isspace(static_cast<unsigned char>(tag[end])) && tag[end] != '/') ++end;
        return DecodeEntities(tag.substr(i, end - i));
    }
    return std::nullopt;
}

std::string Resolve(const std::string& ref, const std::string& base) {
    const QString r = QString::fromStdString(ref);
    const QUrl asUrl(r);
    if (!asUrl.scheme().isEmpty() && asUrl.scheme().size() > 1) return ref;  // absolute (a drive letter is not a scheme)
    if (base.find("://") != std::string::npos)
        return QUrl(QString::fromStdString(base)).resolved(QUrl(r)).toString(QUrl::FullyEncoded).toStdString();
    QString local = r;
    local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QFileInfo(local).isAbsolute()) return local.toStdString();
    return QFileInfo(QFileInfo(QString::fromStdString(base)).dir(), local).absoluteFilePath().toStdString();
}

std::vector<std::string> AsxRefs(std::string_view text) {
    std::vector<std::string> refs;
    for (size_t at = FindNoCase(text, "<ref", 0); at != std::string_view::npos; at = FindNoCase(text, "<ref", at + 4)) {
        const size_t after = at + 4;
        if (after < text.size() && !std::isspace(static_cast<unsigned char>(text[after])) && text[after] != '/' &&
            text[after] != '>')
            continue;  // another element (<refresh ...>)
        const size_t end = text.find('>', after);
        if (end == std::string_view::npos) break;
        if (auto href = Attribute(text.substr(at, end - at), "href")) {
            std::string value = Trim(*href);
            if (!value.empty()) refs.push_back(value);
        }
    }
    return refs;
}

std::vector<std::string> ReferenceRefs(std::string_view text) {
    std::vector<std::string> refs;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (!StartsWithNoCase(line, "ref")) continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(3, eq - 3);
        if (key.empty() || !std::all_of(key.begin(), key.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            continue;
        const std::string value = Trim(line.substr(eq + 1));
        if (!value.empty()) refs.push_back(value);
    }
    return refs;
}

}  // namespace

std::optional<std::vector<std::string>> ParseWindowsMediaPlaylist(std::string_view bytes, const std::string& base) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    const std::string text = ValidUtf8(bytes) ? std::string(bytes) : GbkToUtf8(bytes);
    std::string_view view(text);
    size_t start = 0;
    while (start < view.size() && std::isspace(static_cast<unsigned char>(view[start]))) ++start;
    view.remove_prefix(start);

    std::vector<std::string> refs;
    if (StartsWithNoCase(view, "[Reference]")) {
        refs = ReferenceRefs(view);
    } else {
        // The first element, after an XML declaration and comments, is <asx>.
        size_t i = 0;
        for (;;) {
            if (view.substr(i, 5) == "<?xml") {
                const size_t end = view.find("?>", i);
                if (end == std::string_view::npos) return std::nullopt;
                i = end + 2;
            } else if (view.substr(i, 4) == "<!--") {
                const size_t end = view.find("-->", i);
                if (end == std::string_view::npos) return std::nullopt;
                i = end + 3;
            } else {
                break;
            }
            while (i < view.size() && std::isspace(static_cast<unsigned char>(view[i]))) ++i;
        }
        if (!StartsWithNoCase(view.substr(i), "<asx") || i + 4 >= view.size() ||
            !(std::isspace(static_cast<unsigned char>(view[i + 4])) || view[i + 4] == '>'))
            return std::nullopt;
        refs = AsxRefs(view.substr(i));
    }
    for (std::string& r : refs) r = Resolve(r, base);
    return refs;
}

}  // namespace orbiq::platform
