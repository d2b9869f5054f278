// The NOISEFUNCTIONLAYER block.
#include <ostream>

#include "engine/block_io.h"
#include "engine/noise_function_layer.h"

namespace quillon {

namespace {

void WriteTriple(std::ostream& out, const std::string& indent, const char* keyword,
                 const NoiseFunctionLayer::Triple& t) {
    out << indent << '\t' << keyword << " (";
    t.x.Write(out);
    out << ", ";
    t.y.Write(out);
    out << ", ";
    t.z.Write(out);
    out << ")\n";
}

// The noise lines of one noise (prefix "" for the main noise, "COORD" for
// the coordinate noise): kind, turbulence, and what that turbulence uses.
void WriteNoiseLines(std::ostream& out, const std::string& indent, const char* prefix, NoiseFunction kind,
                     const NoiseFunctionLayer::Turbulence& t, double parameter) {
    out << indent << '\t' << prefix << "NOISEFUNC "
        << EnumerationName(FileEnumeration::NoiseFunction, static_cast<int>(kind)) << '\n';
    out << indent << '\t' << prefix << "TURBTYPE "
        << EnumerationName(FileEnumeration::TurbulenceType, static_cast<int>(t.type)) << '\n';
    if (t.type != TurbulenceType::None) {
        out << indent << '\t' << prefix << "TURBMAG ";
        t.magnitude.Write(out);
        out << '\n';
    }
    if (t.type == TurbulenceType::Turbulence || t.type == TurbulenceType::FractalSum) {
        out << indent << '\t' << prefix << "TURBVAR ";
        t.variance.Write(out);
        out << '\n' << indent << '\t' << prefix << "TURBITER " << t.iterations << '\n';
    }
    if (kind == NoiseFunction::Grid) {
        out << indent << '\t' << prefix << "NOISEPARM " << FormatReal(parameter) << '\n';
    }
}

}  // namespace

void NoiseFunctionLayer::Write(std::ostream& out, const std::string& indent) const {
    WriteBlockStart(out, indent, "NOISEFUNCTIONLAYER", Name());
    WriteCommonProperties(out, indent);
    out << indent << "\tCOORDFUNC "
        << EnumerationName(FileEnumeration::CoordinateFunction, static_cast<int>(m_coordFunction)) << '\n';
    out << indent << "\tCUT " << EnumerationName(FileEnumeration::CutType, static_cast<int>(m_cut)) << '\n';
    WriteNoiseLines(out, indent, "", m_noiseFunction, m_turbulence, m_noiseParameter);
    WriteNoiseLines(out, indent, "COORD", m_coordNoiseFunction, m_coordTurbulence, m_coordNoiseParameter);
    out << indent << "\tCMAP " << ColorMappingName(ColorFunction()) << '\n';
    WriteTriple(out, indent, "TRANSLATE", m_translation);
    WriteTriple(out, indent, "SCALE", m_scale);
    WriteTriple(out, indent, "ROTATE", m_rotation);
    WriteColorMapLine(out, indent, GetColorMap());
    out << indent << "}\n";
}

bool NoiseFunctionLayer::ReadBlock(BlockReader& reader) {
    static constexpr BlockMessages kMessages = {
        "Syntax Error(expecting '{') in Noise Function",
        "Invalid Token(%s) in Noise Function Layer",
        "Syntax Error(missing  '}') in Noise Function Layer",
    };
    const auto readEnum = [&reader](FileEnumeration kind, auto apply) {
        int v = 0;
        if (!reader.ReadEnumeration(kind, v)) return KeywordResult::Failed;
        apply(v);
        return KeywordResult::Read;
    };
    const auto readIterations = [&reader](int& iterations) {
        int v = 0;
        if (!reader.ReadInteger(v)) return KeywordResult::Failed;
        iterations = v > kMaxTurbulenceIterations ? kMaxTurbulenceIterations : v;
        return KeywordResult::Read;
    };
    return reader.ReadLayerBlock(*this, kMessages, [&](std::string_view keyword) {
        if (keyword == "COORDFUNC") {
            return readEnum(FileEnumeration::CoordinateFunction,
                            [this](int v) { m_coordFunction = static_cast<CoordFunction>(v); });
        }
        if (keyword == "CUT") {
            return readEnum(FileEnumeration::CutType, [this](int v) { m_cut = static_cast<CutType>(v); });
        }
        if (keyword == "NOISEFUNC") {
            return readEnum(FileEnumeration::NoiseFunction,
                            [this](int v) { SetNoiseFunction(static_cast<NoiseFunction>(v)); });
        }
        if (keyword == "COORDNOISEFUNC") {
            return readEnum(FileEnumeration::NoiseFunction,
                            [this](int v) { SetCoordNoiseFunction(static_cast<NoiseFunction>(v)); });
        }
        if (keyword == "TURBTYPE") {
            return readEnum(FileEnumeration::TurbulenceType,
                            [this](int v) { m_turbulence.type = static_cast<TurbulenceType>(v); });
        }
        if (keyword == "COORDTURBTYPE") {
            return readEnum(FileEnumeration::TurbulenceType,
                            [this](int v) { m_coordTurbulence.type = static_cast<TurbulenceType>(v); });
        }
        if (keyword == "TURBMAG") return ReadResult(reader.ReadRandomNumber(m_turbulence.magnitude));
        if (keyword == "TURBVAR") return ReadResult(reader.ReadRandomNumber(m_turbulence.variance));
        if (keyword == "TURBITER") return readIterations(m_turbulence.iterations);
        if (keyword == "NOISEPARM") return ReadResult(reader.ReadReal(m_noiseParameter));
        if (keyword == "COORDTURBMAG") return ReadResult(reader.ReadRandomNumber(m_coordTurbulence.magnitude));
        if (keyword == "COORDTURBVAR") return ReadResult(reader.ReadRandomNumber(m_coordTurbulence.variance));
        if (keyword == "COORDTURBITER") return readIterations(m_coordTurbulence.iterations);
        if (keyword == "COORDNOISEPARM") return ReadResult(reader.ReadReal(m_coordNoiseParameter));
        if (keyword == "CMAP") {
            std::unique_ptr<BaseColorFunctor> functor;
            if (!reader.ReadColorMapping(functor)) return KeywordResult::Failed;
            SetColorFunction(std::move(functor));
            return KeywordResult::Read;
        }
        if (keyword == "TRANSLATE") {
            return ReadResult(reader.ReadRandomTriple(m_translation.x, m_translation.y, m_translation.z));
        }
        if (keyword == "ROTATE") return ReadResult(reader.ReadRandomTriple(m_rotation.x, m_rotation.y, m_rotation.z));
        if (keyword == "SCALE") return ReadResult(reader.ReadRandomTriple(m_scale.x, m_scale.y, m_scale.z));
        return KeywordResult::Unknown;
    });
}

}  // namespace quillon
