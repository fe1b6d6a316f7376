#include "tools/skinpainter/quantise.h"

#include <QHash>

#include <algorithm>
#include <array>

namespace orbiq::skinpainter {
namespace {

struct Entry {
    QRgb colour;
    int count;
};

int Channel(QRgb c, int ch) {
    switch (ch) {
    case 0: return qRed(c);
    case 1: return qGreen(c);
    default: return qBlue(c);
    }
}

// A box of the median cut: a range of the entry array.
struct Box {
    int begin = 0;
    int end = 0;
    int widestChannel = 0;
    int range = 0;
    long long weight = 0;
};

Box MakeBox(const std::vector<Entry>& entries, int begin, int end) {
    Box box{begin, end, 0, 0, 0};
    std::array<int, 3> lo{255, 255, 255};
    std::array<int, 3> hi{0, 0, 0};
    for (int i = begin; i < end; ++i) {
        for (int ch = 0; ch < 3; ++ch) {
            const int v = Channel(entries[i].colour, ch);
            lo[ch] = std::min(lo[ch], v);
            hi[ch] = std::max(hi[ch], v);
        }
        box.weight += entries[i].count;
    }
    for (int ch = 0; ch < 3; ++ch) {
        // Green counts a little more: the eye sees its steps first.
        const int r = (hi[ch] - lo[ch]) * (ch == 1 ? 6 : 5);
        if (r > box.range) {
            box.range = r;
            box.widestChannel = ch;
        }
    }
    return box;
}

QRgb MeanColour(const std::vector<Entry>& entries, const Box& box) {
    long long r = 0, g = 0, b = 0, n = 0;
    for (int i = box.begin; i < box.end; ++i) {
        const long long w = entries[i].count;
        r += qRed(entries[i].colour) * w;
        g += qGreen(entries[i].colour) * w;
        b += qBlue(entries[i].colour) * w;
        n += w;
    }
    return qRgb(int((r + n / 2) / n), int((g + n / 2) / n), int((b + n / 2) / n));
}

int Distance(QRgb a, QRgb b) {
    const int dr = qRed(a) - qRed(b);
    const int dg = qGreen(a) - qGreen(b);
    const int db = qBlue(a) - qBlue(b);
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

QList<QRgb> MedianCut(std::vector<Entry> entries, int maxColours) {
    std::vector<Box> boxes{MakeBox(entries, 0, int(entries.size()))};
    while (int(boxes.size()) < maxColours) {
        // Split the box whose spread, weighted by its pixels, is largest.
        auto it = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
            const bool aSplit = a.end - a.begin > 1;
            const bool bSplit = b.end - b.begin > 1;
            if (aSplit != bSplit) return !aSplit;
            return double(a.range) * double(a.weight) < double(b.range) * double(b.weight);
        });
        if (it->end - it->begin < 2 || it->range == 0) break;
        const Box box = *it;
        const int ch = box.widestChannel;
        std::sort(entries.begin() + box.begin, entries.begin() + box.end,
                  [ch](const Entry& a, const Entry& b) { return Channel(a.colour, ch) < Channel(b.colour, ch); });
        // First entry of the upper half; both halves keep at least one entry.
        const long long half = box.weight / 2;
        int cut = box.begin;
        for (long long acc = 0; cut < box.end - 1;) {
            acc += entries[cut++].count;
            if (acc >= half) break;
        }
        *it = MakeBox(entries, box.begin, cut);
        boxes.push_back(MakeBox(entries, cut, box.end));
    }
    QList<QRgb> palette;
    for (const Box& box : boxes) palette.push_back(MeanColour(entries, box));
    return palette;
}

}  // namespace

IndexedImage Quantise(const QImage& source, int maxColours) {
    maxColours = std::clamp(maxColours, 1, 256);
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    IndexedImage out;
    out.width = image.width();
    out.height = image.height();
    out.indices.resize(size_t(out.width) * size_t(out.height));

    QHash<QRgb, int> histogram;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) ++histogram[line[x] | 0xff000000u];
    }
    if (histogram.isEmpty()) {
        out.palette = {qRgb(0, 0, 0)};
        return out;
    }

    QHash<QRgb, int> lookup;
    if (histogram.size() <= maxColours) {
        for (auto it = histogram.cbegin(); it != histogram.cend(); ++it) out.palette.push_back(it.key());
        std::sort(out.palette.begin(), out.palette.end());
        for (int i = 0; i < out.palette.size(); ++i) lookup.insert(out.palette[i], i);
    } else {
        std::vector<Entry> entries;
        entries.reserve(histogram.size());
        for (auto it = histogram.cbegin(); it != histogram.cend(); ++it) entries.push_back({it.key(), it.value()});
        out.palette = MedianCut(std::move(entries), maxColours);
        for (auto it = histogram.cbegin(); it != histogram.cend(); ++it) {
            int best = 0;
            int bestDistance = Distance(it.key(), out.palette[0]);
            for (int i = 1; i < out.palette.size() && bestDistance > 0; ++i) {
                const int d = Distance(it.key(), out.palette[i]);
                if (d < bestDistance) {
                    bestDistance = d;
                    best = i;
                }
            }
            lookup.insert(it.key(), best);
        }
    }

    uint8_t* dst = out.indices.data();
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) *dst++ = uint8_t(lookup.value(line[x] | 0xff000000u));
    }
    return out;
}

QImage ToIndexed8(const QImage& image) {
    const IndexedImage indexed = Quantise(image, 256);
    QImage out(indexed.width, indexed.height, QImage::Format_Indexed8);
    QList<QRgb> table = indexed.palette;
    while (table.size() < 256) table.push_back(qRgb(0, 0, 0));
    out.setColorTable(table);
    for (int y = 0; y < indexed.height; ++y) {
        std::copy_n(indexed.indices.data() + size_t(y) * size_t(indexed.width), indexed.width, out.scanLine(y));
    }
    return out;
}

}  // namespace orbiq::skinpainter
