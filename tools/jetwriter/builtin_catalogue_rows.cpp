#include "tools/jetwriter/builtin_catalogue_rows.h"

namespace orbiq::jet {
namespace {

std::optional<Text> T(const char* utf8) { return Text::FromUtf8(utf8); }

CatalogueRows MakeRows() {
    const auto radio = T("广播电台（收音机）");
    return {
        {T("直播频道"), T("电视剧场"), T("电影频道"), T("综艺娱乐"), T("音乐频道"), T("体育频道"), T("资讯频道"),
         T("广播电台")},
        {
            {T("音乐频道"), T("音乐1"), std::nullopt, std::nullopt},
            {T("广播电台"), T("中国之声"), T("mms://radio.orbiq-demo.invalid/voice"), radio},
            {T("广播电台"), T("经济之声"), T("mms://radio.orbiq-demo.invalid/economy"), radio},
            {T("广播电台"), T("音乐之声"), T("mms://radio.orbiq-demo.invalid/music"), radio},
            {T("广播电台"), T("天津交通广播"), T("mms://192.0.2.15/tjtraffic"), radio},
            {T("广播电台"), T("北京音乐台"), T("mms://radio.orbiq-demo.invalid/bjmusic"), radio},
            {T("直播频道"), T("CCTV-4"), T("mms://live.orbiq-demo.invalid/cctv4"),
             T("中央电视台中文国际频道，面向海内外华人观众，以新闻为主，兼有专题、文化和综艺节目，"
               "每天播出多档整点新闻和海峡两岸资讯。")},
            {T("直播频道"), T("CCTV-9"), T("mms://live.orbiq-demo.invalid/cctv9"), T("中央电视台英语频道")},
            {T("直播频道"), T("阳光卫视"), T("mms://198.51.100.23/sunshine"), T("111")},
            {T("直播频道"), T("星空卫视"), T("mmst://198.51.100.24/starry"), T("111")},
            {T("资讯频道"), T("澳门新闻台"), T("mmst://203.0.113.7/macaonews.asf"), T("1")},
            {T("电影频道"), T("港台电影联播"), T("mms://movie.orbiq-demo.invalid/hkmovies"), T("www.orbiq-demo.invalid")},
            {T("电影频道"), T("精品影院"), T("mms://203.0.113.50:1755/cinema"), T("1")},
            {T("综艺娱乐"), T("综艺1"), T("1"), T("1")},
            {T("直播频道"), T("河北卫视"), T("mms://live.orbiq-demo.invalid/hebei.wmv"), std::nullopt},
            {T("直播频道"), T("CCTV-新闻"), T("mms://live.orbiq-demo.invalid/cctvnews"),
             T("中央电视台新闻频道，全天二十四小时播出，整点滚动报道国内外新闻，重大事件现场直播。")},
            {T("电视剧场"), T("天龙八部"), T("D:\\电视剧\\天龙八部\\天龙八部.m3u"), T("天龙八部")},
            {T("体育频道"), T("体育1"), std::nullopt, std::nullopt},
        },
    };
}

}  // namespace

const CatalogueRows& BuiltinCatalogueRows() {
    static const CatalogueRows rows = MakeRows();
    return rows;
}

}  // namespace orbiq::jet
