#include "tools/skinpainter/gif_writer.h"

#include <array>
#include <cstring>
#include <stdexcept>

namespace orbiq::skinpainter {
namespace {

constexpr int kMaxCode = 4095;  // codes are at most 12 bits

void PutWord(QByteArray& out, int value) {
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

// Packs codes least significant bit first and cuts the stream into sub-blocks.
class CodeWriter {
public:
    explicit CodeWriter(QByteArray& out) : out_(out) {}

    void Put(int code, int bits) {
        accumulator_ |= uint32_t(code) << pending_;
        pending_ += bits;
        while (pending_ >= 8) {
            PutByte(uint8_t(accumulator_ & 0xff));
            accumulator_ >>= 8;
            pending_ -= 8;
        }
    }

    void Finish() {
        if (pending_ > 0) PutByte(uint8_t(accumulator_ & 0xff));
        pending_ = 0;
        accumulator_ = 0;
        FlushBlock();
        out_.append('\0');  // block terminator
    }

private:
    void PutByte(uint8_t byte) {
        block_[blockSize_++] = byte;
        if (blockSize_ == 255) FlushBlock();
    }

    void FlushBlock() {
        if (blockSize_ == 0) return;
        out_.append(char(blockSize_));
        out_.append(reinterpret_cast<const char*>(block_.data()), blockSize_);
        blockSize_ = 0;
    }

    QByteArray& out_;
    uint32_t accumulator_ = 0;
    int pending_ = 0;
    std::array<uint8_t, 255> block_{};
    int blockSize_ = 0;
};

void WriteLzw(QByteArray& out, const std::vector<uint8_t>& indices, int minCodeSize) {
    out.append(char(minCodeSize));
    CodeWriter writer(out);
    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;

    // next[code * 256 + pixel]: the code of "string(code) + pixel", 0 when absent.
    std::vector<uint16_t> next(size_t(kMaxCode + 1) * 256, 0);
    int codeSize = minCodeSize + 1;
    int lastCode = endCode;  // highest code assigned so far

    writer.Put(clearCode, codeSize);
    int current = -1;
    for (uint8_t pixel : indices) {
        if (current < 0) {
            current = pixel;
            continue;
        }
        uint16_t& slot = next[size_t(current) * 256 + pixel];
        if (slot != 0) {
            current = slot;
            continue;
        }
        writer.Put(current, codeSize);
        slot = uint16_t(++lastCode);
        if (lastCode >= (1 << codeSize)) ++codeSize;
        if (lastCode == kMaxCode) {
            writer.Put(clearCode, codeSize);
            std::fill(next.begin(), next.end(), uint16_t(0));
            codeSize = minCodeSize + 1;
            lastCode = endCode;
        }
        current = pixel;
    }
    if (current >= 0) writer.Put(current, codeSize);
    writer.Put(endCode, codeSize);
    writer.Finish();
}

}  // namespace

QByteArray EncodeGif(const IndexedImage& image) {
    const int colours = int(image.palette.size());
    if (colours < 1 || colours > 256 || image.width < 1 || image.height < 1 || image.width > 0xffff ||
        image.height > 0xffff || image.indices.size() != size_t(image.width) * size_t(image.height)) {
        throw std::invalid_argument("EncodeGif: bad image");
    }
    for (uint8_t i : image.indices) {
        if (i >= colours) throw std::invalid_argument("EncodeGif: index outside the palette");
    }

    int tableBits = 1;  // the colour table holds 2^tableBits entries
    while ((1 << tableBits) < colours) ++tableBits;

    QByteArray out;
    out.append("GIF89a", 6);
    PutWord(out, image.width);
    PutWord(out, image.height);
    // Global table present, 8 bits of colour resolution, unsorted, its size.
    out.append(char(0x80 | (7 << 4) | (tableBits - 1)));
    out.append('\0');  // background colour index
    out.append('\0');  // pixel aspect ratio: none given
    for (int i = 0; i < (1 << tableBits); ++i) {
        const QRgb c = i < colours ? image.palette[i] : qRgb(0, 0, 0);
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }

    out.append(char(0x2c));  // image descriptor
    PutWord(out, 0);
    PutWord(out, 0);
    PutWord(out, image.width);
    PutWord(out, image.height);
    out.append('\0');  // no local table, not interlaced

    WriteLzw(out, image.indices, std::max(2, tableBits));
    out.append(char(0x3b));  // trailer
    return out;
}

QByteArray EncodeGif(const QImage& image) { return EncodeGif(Quantise(image, 256)); }

}  // namespace orbiq::skinpainter
