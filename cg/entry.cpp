// entry.cpp -- the entry function: varying inputs, outputs by semantic and the generated main().
#include "cg/cg_internal.h"

#include <algorithm>

namespace cg {
namespace {

// The input a semantic names, as the vendor's OpenGL profiles bind it: POSITION (ATTR0),
// NORMAL (ATTR2), COLOR0 or DIFFUSE (ATTR3), COLOR1 or SPECULAR (ATTR4) and TEXCOORD0 to 7
// (ATTR8 to 15, TANGENT and BINORMAL being TEXCOORD6 and 7) are the fixed pipeline's own;
// everything else, BLENDWEIGHT, FOGCOORD, PSIZE and BLENDINDICES among them, takes the next
// generic attribute.
CgInputSource InputSource(const std::string &sem, int *texUnit)
{
    static const std::pair<const char *, CgInputSource> fixed[] = {
        {"POSITION", CgInputSource::Vertex}, {"POSITION0", CgInputSource::Vertex}, {"ATTR0", CgInputSource::Vertex},
        {"COLOR", CgInputSource::Color}, {"COLOR0", CgInputSource::Color}, {"DIFFUSE", CgInputSource::Color},
        {"ATTR3", CgInputSource::Color}, {"COLOR1", CgInputSource::SecondaryColor},
        {"SPECULAR", CgInputSource::SecondaryColor}, {"ATTR4", CgInputSource::SecondaryColor},
        {"NORMAL", CgInputSource::Normal}, {"NORMAL0", CgInputSource::Normal}, {"ATTR2", CgInputSource::Normal},
        {"TEXCOORD", CgInputSource::TexCoord}, {"TANGENT", CgInputSource::TexCoord},
        {"BINORMAL", CgInputSource::TexCoord}};
    *texUnit = sem == "TANGENT" ? 6 : sem == "BINORMAL" ? 7 : 0;
    for (const auto &f : fixed) {
        if (sem == f.first) {
            return f.second;
        }
    }
    // TEXCOORD0 to 7, also as ATTR8 to ATTR15.
    const bool attr = sem.compare(0, 4, "ATTR") == 0;
    const std::string digits = attr ? sem.substr(4) : sem.compare(0, 8, "TEXCOORD") == 0 ? sem.substr(8) : "";
    const int unit = digits.empty() || digits.size() > size_t(attr ? 2 : 1) || !IsDigit(digits[0]) ||
                             !IsDigit(digits.back()) ? -1 : std::stoi(digits) - (attr ? 8 : 0);
    if (unit >= 0 && unit < cgTexCoordUnits) {
        *texUnit = unit;
        return CgInputSource::TexCoord;
    }
    return CgInputSource::Attribute;
}

// Where a varying input of this semantic comes from; returns the GLSL that reads it.
std::string AddInput(Translator &t, const std::string &name, const std::string &semantic, const Ty &info,
                     const std::string &spelled, int line, std::string *declarations)
{
    if (info.base == Base::Struct || info.array || info.rows != 1 || (info.base != Base::Float && info.base != Base::Int)) {
        Fail(line, "varying input '" + name + "' has the unsupported type '" + spelled + "'");
    }
    CgVaryingInput input{name, std::string(), CgInputSource::Attribute, 0, info.cols};
    const std::string sem = Upper(semantic);
    input.source = InputSource(sem, &input.texUnit);
    int attributes = 0;
    for (const CgVaryingInput &other : t.result->inputs) {
        if (other.source == input.source && input.source != CgInputSource::Attribute && other.texUnit == input.texUnit) {
            Fail(line, "two varying inputs have the semantic " + sem);
        }
        attributes += other.source == CgInputSource::Attribute;
    }
    static const char *const swizzles[] = {"", ".x", ".xy", ".xyz", ""};
    std::string value;
    if (input.source == CgInputSource::Attribute) {
        if (firstGenericAttribute + attributes > lastGenericAttribute) {
            Fail(line, "more than " + std::to_string(lastGenericAttribute - firstGenericAttribute + 1) +
                           " varying inputs with a semantic other than POSITION, NORMAL, COLOR0, COLOR1 and "
                           "TEXCOORD0 to TEXCOORD7");
        }
        input.attribIndex = firstGenericAttribute + attributes;
        input.glslName = "cgx_attr" + std::to_string(input.attribIndex);
        *declarations += "attribute " + std::string(info.cols == 1 ? "float" : "vec" + std::to_string(info.cols)) +
                         " " + input.glslName + "; ";
        value = input.glslName;
    } else if (input.source == CgInputSource::Normal) {
        // The current normal has three components; a fourth reads 1, as for a generic attribute.
        value = info.cols == 4 ? "vec4(gl_Normal, 1.0)" : std::string("gl_Normal") + swizzles[info.cols == 3 ? 0 : info.cols];
    } else {
        value = std::string(input.source == CgInputSource::Vertex  ? "gl_Vertex"
                            : input.source == CgInputSource::Color ? "gl_Color"
                            : input.source == CgInputSource::TexCoord
                                ? "gl_MultiTexCoord" + std::to_string(input.texUnit)
                                : "gl_SecondaryColor") +
                swizzles[info.cols];
    }
    t.result->inputs.push_back(input);
    return info.base == Base::Int ? GlslType(t, info) + "(" + value + ")" : value;
}

// The built-in output a semantic writes, and whether it is a vec4 (else a float).
bool OutputTarget(const std::string &semantic, std::string *target, bool *isVector)
{
    static const char *const targets[][2] = {
        {"POSITION", "gl_Position"}, {"POSITION0", "gl_Position"}, {"HPOS", "gl_Position"},
        {"COLOR", "gl_FrontColor"}, {"COLOR0", "gl_FrontColor"}, {"COL", "gl_FrontColor"}, {"COL0", "gl_FrontColor"},
        {"COLOR1", "gl_FrontSecondaryColor"}, {"COL1", "gl_FrontSecondaryColor"}, {"BCOL0", "gl_BackColor"},
        {"BCOL1", "gl_BackSecondaryColor"}, {"PSIZE", "gl_PointSize"}, {"PSIZ", "gl_PointSize"},
        {"FOG", "gl_FogFragCoord"}, {"FOGC", "gl_FogFragCoord"}};
    const std::string sem = Upper(semantic);
    for (const auto &t : targets) {
        if (sem == t[0]) {
            *target = t[1];
            *isVector = *target != "gl_PointSize" && *target != "gl_FogFragCoord";
            return true;
        }
    }
    // TEXCOORDn or TEXn, n from 0 to 7; no n is 0.
    const size_t prefix = sem.compare(0, 8, "TEXCOORD") == 0 ? 8 : sem.compare(0, 3, "TEX") == 0 ? 3 : 0;
    const std::string digits = prefix && sem.size() == prefix ? "0" : sem.substr(prefix);
    if (!prefix || digits.size() != 1 || digits[0] < '0' || digits[0] > '7') {
        return false;
    }
    *target = "gl_TexCoord[" + digits + "]";
    *isVector = true;
    return true;
}

// One output of the entry function written to the built-in its semantic names.
void AddOutput(const std::string &name, const std::string &value, const std::string &semantic,
               const Ty &info, const std::string &spelled, int line, std::vector<std::string> *targets,
               std::string *code)
{
    if (semantic.empty()) {
        Fail(line, "output '" + name + "' has no semantic");
    }
    if (info.array || info.base != Base::Float || info.rows != 1) {
        Fail(line, "output '" + name + "' has the unsupported type '" + spelled + "'");
    }
    std::string target;
    bool isVector = true;
    if (!OutputTarget(semantic, &target, &isVector)) {
        Fail(line, "unsupported output semantic '" + semantic + "'");
    }
    if (std::find(targets->begin(), targets->end(), target) != targets->end()) {
        Fail(line, "two outputs have the semantic " + Upper(semantic));
    }
    targets->push_back(target);
    // Missing components read as (0, 0, 0, 1), as the fixed pipeline fills them.
    static const char *const paddings[] = {"", ", 0.0, 0.0, 1.0)", ", 0.0, 1.0)", ", 1.0)", ""};
    std::string converted = value;
    if (!isVector) {
        converted = info.cols == 1 ? value : value + ".x";
    } else if (info.cols < 4) {
        converted = "vec4(" + value + paddings[info.cols];
    }
    *code += target + " = " + converted + "; ";
}

// What main() does around the call of the entry function.
struct Wrapper {
    std::string declarations;  // the generic attributes
    std::string setup;         // the locals the entry function reads and writes
    std::string arguments;
    std::string signature;
    std::vector<std::string> targets;
    std::string outputs;
    int ins = 0, outs = 0;
};

// A uniform parameter: a uniform of the shader, with its default value.
void UniformParam(Translator &t, const Param &param)
{
    const Ty &ty = param.d.type;
    if (ty.array > maxUniformArray) {
        Fail(param.d.line, "uniform array '" + param.d.name + "' needs a size from 1 to 256");
    }
    AddUniform(t, param.d.name, ty, param.d.line);
    std::string value;
    if (param.d.initBegin >= 0) {
        Node init = ParseExpression(t, param.d.initBegin, param.d.initEnd, "a default value");
        Convert(t, init, ty, param.d.line);
        if (!IsConstant(init)) {
            Fail(param.d.line, "the default value of uniform '" + param.d.name + "' must be a constant");
        }
        value = " = " + NodeText(init);
    }
    EmitAt(t, param.d.line, "uniform " + ElementGlsl(t, ty) + " " + GlslName(param.d.name) +
                                (ty.array ? "[" + std::to_string(ty.array) + "]" : "") + value + ";", true);
    CopyIfWritten(t, param.d.name, param.d.line);
}

// A varying parameter: read from its inputs, written to its outputs, or both (inout, whose
// semantic names the input and the output).
void VaryingParam(Translator &t, const Param &param, Wrapper *w)
{
    const Ty &ty = param.d.type;
    const std::string local = param.q.out ? "cgx_out" + std::to_string(w->outs++) : "cgx_in" + std::to_string(w->ins++);
    w->setup += GlslType(t, ty) + " " + local;
    if (param.q.in && ty.base == Base::Struct) {
        w->setup += "; ";
        for (const Member &m : t.structs[ty.structIndex].members) {
            w->setup += local + "." + m.glslName + " = " +
                        AddInput(t, param.d.name + "." + m.name, m.semantic, m.type, CgTypeName(t, m.type), m.line,
                                 &w->declarations) + "; ";
        }
    } else if (param.q.in) {
        if (param.d.semantic.empty()) {
            Fail(param.d.line, "parameter '" + param.d.name + "' of '" + t.entry + "' needs a semantic or 'uniform'");
        }
        w->setup += " = " + AddInput(t, param.d.name, param.d.semantic, ty, param.spelled, param.d.line, &w->declarations) + "; ";
    } else {
        w->setup += "; ";
    }
    if (param.q.out && ty.base == Base::Struct) {
        for (const Member &m : t.structs[ty.structIndex].members) {
            AddOutput(m.name, local + "." + m.glslName, m.semantic, m.type, CgTypeName(t, m.type), m.line,
                      &w->targets, &w->outputs);
        }
    } else if (param.q.out) {
        AddOutput(param.d.name, local, param.d.semantic, ty, param.spelled, param.d.line, &w->targets, &w->outputs);
    }
    w->arguments += (w->arguments.empty() ? "" : ", ") + local;
    w->signature += (w->signature.empty() ? "" : ", ") + std::string(param.q.isConst ? "const " : "") +
                    (param.q.in && param.q.out ? "inout " : param.q.out ? "out " : "") + GlslType(t, ty) + " " +
                    GlslName(param.d.name);
}

}  // namespace

// Emits the entry function as cgx_entry, its uniform parameters as uniforms, and a main()
// that fills the varying inputs, calls it and writes the outputs to the built-in variables.
void EmitEntry(Translator &t, const Ty &ret, int nameIndex, const std::vector<Param> &params,
               const std::string &returnSemantic, int bodyOpen)
{
    const CgToken &nameTok = t.tokens[nameIndex];
    if (t.entryFound) {
        Fail(nameTok.line, "entry function '" + t.entry + "' is defined twice");
    }
    t.entryFound = true;
    Wrapper w;
    for (const Param &param : params) {
        if (param.q.isUniform) {
            UniformParam(t, param);
        } else {
            VaryingParam(t, param, &w);
        }
    }
    if (ret.base == Base::Void) {
        if (w.targets.empty()) {
            Fail(nameTok.line, "entry function '" + t.entry + "' returns nothing; it must return its output or "
                               "have out parameters");
        }
    } else if (ret.base == Base::Struct) {
        if (!returnSemantic.empty()) {
            Fail(nameTok.line, "a semantic on a struct result is not supported");
        }
        for (const Member &m : t.structs[ret.structIndex].members) {
            AddOutput(m.name, "cgx_out." + m.glslName, m.semantic, m.type, CgTypeName(t, m.type), m.line,
                      &w.targets, &w.outputs);
        }
    } else {
        AddOutput("result of " + t.entry, "cgx_out", returnSemantic, ret, t.tokens[nameIndex - 1].text,
                  nameTok.line, &w.targets, &w.outputs);
    }
    if (std::find(w.targets.begin(), w.targets.end(), "gl_Position") == w.targets.end()) {
        Fail(nameTok.line, "the output of '" + t.entry + "' has no POSITION");
    }
    EmitFunctionStart(t, nameIndex, ret);
    EmitAt(t, nameTok.line, "cgx_entry(" + w.signature + ")", true);
    TranslateBody(t, bodyOpen, ret);
    // The wrapper reports as the entry function's line: its faults come from that declaration.
    const std::string call = "cgx_entry(" + w.arguments + "); ";
    EmitAt(t, nameTok.line, w.declarations + "void main() { " + t.copies + w.setup +
                                (ret.base == Base::Void ? call : GlslType(t, ret) + " cgx_out = " + call) + w.outputs + "}",
           false);
}

}  // namespace cg
