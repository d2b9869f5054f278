// The text forms of colours and colour maps; the COLORMAP block is read by
// BlockReader::ReadColorMap (format/layer_parser.cpp).
#include <ostream>

#include "engine/base_layer.h"
#include "engine/block_io.h"
#include "engine/color.h"

namespace quillon {

namespace {

// trunc(c x 255) alone turns some k / 255 read from a file into k - 1, so
// every save would darken the colours by one step; the small bias keeps k.
int ComponentByte(double component) { return TruncToInt(component * 255.0 + 1e-6); }

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
