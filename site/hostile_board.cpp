#include "site/hostile_board.h"

#include <iterator>

#include "common/text.h"

namespace orbiq::site {

namespace {

const std::string kRow = "[ZOTRAMEK/row]";
const std::string kCol = "[ZOTRAMEK/Col]";

std::string Header() {
    return Utf8ToGbk("客人名称") + kCol + Utf8ToGbk("留言内容") + kCol + Utf8ToGbk("时间");
}

std::string MessageRow(size_t n) {
    return kRow + Utf8ToGbk("游客") + kCol + Utf8ToGbk("用户" + std::to_string(n) + " 说: 第" + std::to_string(n) + "条") +
           kCol + Utf8ToGbk("2026年12月10日 10:00:00");
}

std::string RowTokens() {
    std::string body = Header();
    const size_t size = size_t{10} << 20;
    body.reserve(size + kRow.size());
    while (body.size() + kRow.size() <= size) body += kRow;
    return body;
}

std::string Columns1000() {
    std::string body = Header();
    for (int c = 4; c <= 1000; ++c) body += kCol + Utf8ToGbk("列" + std::to_string(c));
    for (size_t r = 1; r <= 50; ++r) {
        body += MessageRow(r);
        for (int c = 4; c <= 1000; ++c) body += kCol + "x" + std::to_string(c);
    }
    return body;
}

std::string Rows100000() {
    std::string body = Header();
    for (size_t r = 1; r <= 100000; ++r) body += MessageRow(r);
    return body;
}

// Bytes no GBK character is made of: 0x80 and 0xFF alone, a lead byte before a byte that
// cannot follow it (0x7F, a control, a blank, a NUL) or at a cell's end, and NULs. A lead
// byte right before a token takes the token's "[" as its second byte, so that token cuts
// nothing: the cell runs on into the next.
std::string InvalidGbk() {
    static const std::string kBad[] = {
        std::string("\x80"),         std::string("\xFF"),     std::string("\x81\x7F"),
        std::string("\xB0\x0A", 2),  std::string("\xC4 "),    std::string("a\0b", 3),
        std::string("\xD6\xD0\xFE"), std::string("\xFE\xFF"), std::string("\x81\x30"),
    };
    std::string body = Header();
    for (size_t r = 1; r <= 50; ++r) {
        const std::string& bad = kBad[r % std::size(kBad)];
        body += kRow + Utf8ToGbk("游客") + bad + kCol + Utf8ToGbk("用户 说: ") + bad + Utf8ToGbk("完") + kCol + bad;
        if (r % 10 == 0) body += "\x81";  // swallows the next row token's "["
    }
    return body + "\xB0";  // the body ends inside a character
}

std::string LongCells() {
    std::string cell;
    while (cell.size() < 5000) cell += Utf8ToGbk("长");
    std::string body = Header();
    for (size_t r = 1; r <= 1000; ++r) body += kRow + cell + kCol + cell + kCol + cell;
    return body;
}

}  // namespace

std::string HostileBoardBody(BoardAnswer answer) {
    switch (answer) {
    case BoardAnswer::RowTokens: return RowTokens();
    case BoardAnswer::Columns1000: return Columns1000();
    case BoardAnswer::Rows100000: return Rows100000();
    case BoardAnswer::InvalidGbk: return InvalidGbk();
    case BoardAnswer::LongCells: return LongCells();
    case BoardAnswer::Script:
    case BoardAnswer::EndlessBody: break;
    }
    return {};
}

std::string EndlessBoardPiece(size_t offset) {
    if (offset == 0) return Header();
    std::string piece;
    for (size_t r = offset; piece.size() < (64u << 10); ++r) piece += MessageRow(r);
    return piece;
}

}  // namespace orbiq::site
