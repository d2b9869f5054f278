// The text forms of colours and colour maps; the COLORMAP block is read by
// BlockReader::ReadColorMap (format/layer_parser.cpp).
#include <cmath>
#include <ostream>

#include "engine/base_layer.h"
#include "engine/block_io.h"
#include "engine/color.h"

namespace quillon {

namespace {

// A file's k is kept as the float nearest k / 255, which times 255 may fall
// just short of k (or, below 0, just past it): trunc alone would drift on
// every save. Products within the float's error of an integer give that
// integer, whatever the size or sign; others are truncated (0.999 is 254).
int ComponentByte(double component) {
    const double v = component * 255.0;
    const double nearest = std::nearbyint(v);
    const double tolerance = 1e-6 + std::fabs(v) * 2.5e-7;
    return TruncToInt(std::fabs(v - nearest) <= tolerance ? nearest : v);
}

void WriteComponents(std::ostream& out, const Color& c) {
    out << ComponentByte(c.red) << ", " << ComponentByte(c.green) << ", " << ComponentByte(c.blue)
        << ", ";
    c.opacity.Write(out);
}

}  // namespace

void Color::Write(std::ostream& out) const {
    out << '(';
    WriteComponents(out, *this);
    out << ')';
}

void IndexedColor::Write(std::ostream& out) const {
    out << '(' << index << ", ";
    WriteComponents(out, first);
    if (isRandom) {
        out << ", ";
        WriteComponents(out, second);
    }
    out << ')';
}

void ColorMap::Write(std::ostream& out, const std::string& linePrefix) const {
    out << "SIZE " << m_entries.size() << '\n';
    out << linePrefix << "RANDOM " << BooleanKeyword(m_isRandom) << '\n';
    for (const IndexedColor& entry : m_entries) {
        out << linePrefix;
        entry.Write(out);
        out << '\n';
    }
}

}  // namespace quillon
