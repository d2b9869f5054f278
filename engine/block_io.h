#pragma once

// How layers read and write their blocks in texture documents (.qln), layer
// files (.qlr) and colour-map files (.cmp).
//
// Each layer kind keeps its block in one place, its *_file.cpp beside the
// layer: `Write` (the writer) and `ReadBlock` (the reader, called after the
// block keyword). Reading goes through the abstract BlockReader below, which
// format/layer_parser.h implements over the lexer, so the engine never
// depends on format/.
//
// Adding a layer kind:
//   1. override `Write` and `ReadBlock` in the layer's *_file.cpp: the writer
//      uses WriteBlockStart, WriteCommonProperties and the helpers below; the
//      reader calls reader.ReadLayerBlock with the kind's three messages and a
//      function that reads the kind's own keywords;
//   2. add one line for the kind to kLayerKinds in engine/layer_kinds.cpp.
// Nothing else names the kinds. (The table is explicit on purpose: static
// registration objects in a static library are dropped by the linker when
// nothing else references their object file.)
//
// A sketch of a reader, for a kind with one own keyword:
//
//   bool MyLayer::ReadBlock(BlockReader& reader) {
//       static constexpr BlockMessages kMessages = {
//           "Syntax Error(expecting '{') in My Layer",
//           "Invalid Token(%s) in My Layer",
//           "Syntax Error(missing  '}') in My Layer"};
//       return reader.ReadLayerBlock(*this, kMessages, [&](std::string_view keyword) {
//           if (keyword == "LEVEL") return ReadResult(reader.ReadRandomNumber(m_level));
//           return KeywordResult::Unknown;
//       });
//   }

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/random.h"

namespace quillon {

class BaseColorFunctor;
class BaseLayer;
class ColorMap;
class MultiBaseLayer;
enum class CombineFunc : int;

// The version every writer writes, and the highest a reader accepts.
inline constexpr double kFileVersion = 2.0;

// Longest name or description a file can hold (the lexer's token limit).
inline constexpr std::size_t kMaxFileTextLength = 1023;

// The enumerations of the format. Values are positions in the keyword table,
// as the engine's enums number them: combine function OPAQUE 0 .. DISABLE 6;
// coordinate function NONE, LINEAR, CYLINDRICAL, SPHERICAL; cut type PLANE,
// CYLINDER, YCYLINDER, TOROID; noise function VALUE, GRADIENT, VALGRAD,
// CONVOLUTION, SPARSECONV, GRID; turbulence type NONE, NOISE, TURBULENCE,
// FRACTALSUM; colour mapping SCALE, TRIG, MODULUS; screen-saver type EXPAND,
// TILE, XMIRROR, YMIRROR, CURRENT (read as bits, see ReadScreenSaverType).
enum class FileEnumeration {
    CombineFunction,
    CoordinateFunction,
    CutType,
    NoiseFunction,
    TurbulenceType,
    ColorMapping,
    ScreenSaverType,
};

// The keyword of a value; empty when the value is out of range.
std::string_view EnumerationName(FileEnumeration kind, int value);
// The value of a keyword (case-sensitive); -1 when it is none of the table.
int FindEnumerationValue(FileEnumeration kind, std::string_view name);
std::string_view CombineFuncName(CombineFunc function);  // unknown values as "OPAQUE"
// "SCALE", "TRIG" or "MODULUS", by the functor's class.
std::string_view ColorMappingName(const BaseColorFunctor& functor);

// ---- Writing ----------------------------------------------------------

// A real in the general format with 6 significant digits ("0.5", "1",
// "1e-07"), independent of the locale. Non-finite values cannot be read
// back, so they are written as the nearest finite value (NaN as 0).
std::string FormatReal(double value);
// A real stored as float: infinities become the largest float.
std::string FormatFloat(float value);
std::string_view BooleanKeyword(bool value);  // "TRUE" / "FALSE"
// What a name or description becomes in a file: double quotes replaced by
// apostrophes (a quoted string cannot hold one) and cut to
// kMaxFileTextLength bytes, so that every file written reads back.
std::string CleanFileText(std::string_view text);

// indent, keyword, blank, the cleaned name in double quotes, " {", LF.
void WriteBlockStart(std::ostream& out, const std::string& indent, std::string_view keyword,
                     const std::string& name);
// indent, tab, "LAYERS {", every child written with indent plus two tabs,
// indent, tab, "}".
void WriteLayerList(std::ostream& out, const std::string& indent, const MultiBaseLayer& layer);
// indent, tab, "COLORMAP ", then the map.
void WriteColorMapLine(std::ostream& out, const std::string& indent, const ColorMap& map);

// ---- Reading ----------------------------------------------------------

// The three messages of a block kind; invalidToken holds one %s.
struct BlockMessages {
    const char* opening;
    const char* invalidToken;
    const char* closing;
};

enum class KeywordResult {
    Read,     // the keyword and its value were read
    Failed,   // its value failed; the message has been shown
    Unknown,  // not a keyword of this kind
};

inline KeywordResult ReadResult(bool ok) {
    return ok ? KeywordResult::Read : KeywordResult::Failed;
}

using KeywordReader = std::function<KeywordResult(std::string_view keyword)>;

// What a block reader may ask of the file being read. Every reader skips
// blanks and comments first and returns false after it has shown its
// message in the form "Error <file>(line <n>): <message>"; callers above
// it fail without a further message.
class BlockReader {
  public:
    // LAYERS lists nested deeper than this are refused.
    static constexpr int kMaxNestingDepth = 64;

    virtual ~BlockReader() = default;

    // The version of the last VERSION line (2.0 before any).
    virtual double Version() const = 0;
    // Shows "Error <file>(line <n>): " and the message (cut to 511 bytes).
    virtual void ReportError(std::string_view message) const = 0;
    // printf-style; text from the file must be an argument, never the format.
    void ReportErrorFormat(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    virtual bool ReadInteger(int& value) = 0;  // saturates at the int range
    virtual bool ReadReal(double& value) = 0;
    virtual bool ReadBoolean(bool& value) = 0;        // TRUE or FALSE
    virtual bool ReadString(std::string& value) = 0;  // a quoted string
    // An identifier: a keyword of a nested block such as LIGHT. A lexical
    // failure shows the lexer's text.
    virtual bool ReadKeyword(std::string& word) = 0;
    // A real (a fixed number) or 1 to 4 reals in parentheses (random).
    virtual bool ReadRandomNumber(RandomNumber& value) = 0;
    // "(" random "," random "," random ")".
    virtual bool ReadRandomTriple(RandomNumber& x, RandomNumber& y, RandomNumber& z) = 0;
    // A keyword of the table, as its value.
    virtual bool ReadEnumeration(FileEnumeration kind, int& value) = 0;

    bool ReadCombineFunction(CombineFunc& value);
    // Creates the functor with its initial parameters.
    bool ReadColorMapping(std::unique_ptr<BaseColorFunctor>& functor);
    // The bit the keyword sets (XMIRROR 1, YMIRROR 2, TILE 4, EXPAND 8,
    // CURRENT 0); the caller accumulates them.
    bool ReadScreenSaverType(int& bit);

    // The part after the keyword COLORMAP; the map's entries are replaced.
    virtual bool ReadColorMap(ColorMap& map) = 0;
    // "{" layer blocks "}" after the keyword LAYERS; each layer is appended.
    virtual bool ReadLayerList(MultiBaseLayer& container) = 0;
    // One block after its keyword: the quoted name, "{", any number of
    // common properties and of the kind's own keywords, "}". ownKeyword is
    // asked about every keyword that is not a common property.
    virtual bool ReadLayerBlock(BaseLayer& layer, const BlockMessages& messages,
                                const KeywordReader& ownKeyword) = 0;

    // Raw access, for blocks that carry bytes (pictures).
    // The next significant character, left in the input (-1 at the end).
    virtual int PeekChar() = 0;
    // The next character as it comes, nothing skipped (-1 at the end).
    virtual int GetChar() = 0;
    // Up to count bytes as they come; returns how many were read.
    virtual std::size_t ReadBytes(unsigned char* out, std::size_t count) = 0;
    // No more bytes than this can still come: check sizes against it before
    // allocating.
    virtual std::uint64_t RemainingBytesBound() const = 0;
};

// WIDTH and HEIGHT of one layer block, in either order. Each must be at
// least 1 when read; the pair is checked (at most kMaxLayerPixels) and
// applied once both are known: at the second of them, or at the block's
// end when the block gives only one (the layer's other side is kept). A
// pair that is too large shows the message of the larger side (the width
// when both are equal). The
// messages hold one %d.
class LayerSizeReader {
  public:
    LayerSizeReader(BlockReader& reader, BaseLayer& layer, const char* widthMessage,
                    const char* heightMessage)
        : m_reader(reader),
          m_layer(layer),
          m_widthMessage(widthMessage),
          m_heightMessage(heightMessage) {}

    bool ReadWidth() { return Read(m_width, m_widthMessage); }
    bool ReadHeight() { return Read(m_height, m_heightMessage); }
    // After the block's closing brace.
    bool Finish();

  private:
    bool Read(int& side, const char* message);
    bool Apply(int width, int height);

    BlockReader& m_reader;
    BaseLayer& m_layer;
    const char* m_widthMessage;
    const char* m_heightMessage;
    int m_width = 0;  // 0 until read
    int m_height = 0;
    bool m_applied = false;
};

}  // namespace quillon
