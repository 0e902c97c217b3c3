// entry.cpp -- the entry function: varying inputs, outputs by semantic and the generated main().
#include "cg/cg_internal.h"

#include <algorithm>

namespace cg {

// Where a varying input of this semantic comes from. POSITION, COLOR0, COLOR1, NORMAL and
// TEXCOORD0 to 7 are the fixed pipeline's own; everything else takes the next generic attribute.
bool AddInput(Translator &t, const std::string &name, const std::string &semantic, const TypeRef &type, int line,
              std::string *expression, std::string *declarations)
{
    const Ty &info = type.ty;
    if (info.base == Base::Struct || info.array || info.rows != 1 || (info.base != Base::Float && info.base != Base::Int)) {
        return Fail(t, line, "varying input '" + name + "' has the unsupported type '" + type.cgName + "'");
    }
    CgVaryingInput input{name, std::string(), CgInputSource::Attribute, 0, info.cols};
    const std::string sem = Upper(semantic);
    if (sem == "POSITION" || sem == "POSITION0") {
        input.source = CgInputSource::Vertex;
    } else if (sem == "COLOR" || sem == "COLOR0") {
        input.source = CgInputSource::Color;
    } else if (sem == "COLOR1") {
        input.source = CgInputSource::SecondaryColor;
    } else if (sem == "NORMAL" || sem == "NORMAL0") {
        input.source = CgInputSource::Normal;
    } else if (sem.size() == 9 && sem.compare(0, 8, "TEXCOORD") == 0 && sem[8] >= '0' &&
               sem[8] < '0' + cgTexCoordUnits) {
        input.source = CgInputSource::TexCoord;
        input.texUnit = sem[8] - '0';
    } else if (sem == "TEXCOORD") {
        input.source = CgInputSource::TexCoord;
    }
    int attributes = 0;
    for (const CgVaryingInput &other : t.result->inputs) {
        if (other.source == input.source && input.source != CgInputSource::Attribute &&
            other.texUnit == input.texUnit) {
            return Fail(t, line, "two varying inputs have the semantic " + sem);
        }
        attributes += other.source == CgInputSource::Attribute;
    }
    static const char *const swizzles[] = {"", ".x", ".xy", ".xyz", ""};
    std::string value;
    if (input.source == CgInputSource::Attribute) {
        if (firstGenericAttribute + attributes > lastGenericAttribute) {
            return Fail(t, line, "more than " + std::to_string(lastGenericAttribute - firstGenericAttribute + 1) +
                                     " varying inputs with a semantic other than POSITION, NORMAL, COLOR0, "
                                     "COLOR1 and TEXCOORD0 to TEXCOORD7");
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
    *expression = info.base == Base::Int ? GlslType(t, info) + "(" + value + ")" : value;
    t.result->inputs.push_back(input);
    return true;
}

// The built-in output a semantic writes, and whether it is a vec4 (else a float).
bool OutputTarget(const std::string &semantic, std::string *target, bool *isVector)
{
    const std::string sem = Upper(semantic);
    *isVector = true;
    if (sem == "POSITION" || sem == "POSITION0" || sem == "HPOS") {
        *target = "gl_Position";
    } else if (sem == "COLOR" || sem == "COLOR0" || sem == "COL" || sem == "COL0") {
        *target = "gl_FrontColor";
    } else if (sem == "COLOR1" || sem == "COL1") {
        *target = "gl_FrontSecondaryColor";
    } else if (sem == "BCOL0") {
        *target = "gl_BackColor";
    } else if (sem == "BCOL1") {
        *target = "gl_BackSecondaryColor";
    } else if (sem == "PSIZE" || sem == "PSIZ") {
        *target = "gl_PointSize";
        *isVector = false;
    } else if (sem == "FOG" || sem == "FOGC") {
        *target = "gl_FogFragCoord";
        *isVector = false;
    } else {
        std::string digits;
        if (sem.compare(0, 8, "TEXCOORD") == 0) {
            digits = sem.substr(8);
        } else if (sem.compare(0, 3, "TEX") == 0) {
            digits = sem.substr(3);
        } else {
            return false;
        }
        if (digits.empty()) {
            digits = "0";
        }
        if (digits.size() != 1 || digits[0] < '0' || digits[0] > '7') {
            return false;
        }
        *target = "gl_TexCoord[" + digits + "]";
    }
    return true;
}

// One output of the entry function written to the built-in its semantic names.
bool AddOutput(Translator &t, const std::string &name, const std::string &value, const std::string &semantic,
               const TypeRef &type, int line, std::vector<std::string> *targets, std::string *code)
{
    const Ty &info = type.ty;
    if (semantic.empty()) {
        return Fail(t, line, "output '" + name + "' has no semantic");
    }
    if (info.array || info.base != Base::Float || info.rows != 1) {
        return Fail(t, line, "output '" + name + "' has the unsupported type '" + type.cgName + "'");
    }
    std::string target;
    bool isVector = true;
    if (!OutputTarget(semantic, &target, &isVector)) {
        return Fail(t, line, "unsupported output semantic '" + semantic + "'");
    }
    if (std::find(targets->begin(), targets->end(), target) != targets->end()) {
        return Fail(t, line, "two outputs have the semantic " + Upper(semantic));
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
    return true;
}

// Emits the entry function as cgx_entry, its uniform parameters as uniforms, and a main()
// that fills the varying inputs, calls it and writes the outputs to the built-in variables.
bool EmitEntry(Translator &t, const TypeRef &ret, int nameIndex, int open, const std::string &returnSemantic,
               int bodyOpen)
{
    const Token &nameTok = t.tokens[nameIndex];
    if (t.entryFound) {
        return Fail(t, nameTok.line, "entry function '" + t.entry + "' is defined twice");
    }
    t.entryFound = true;
    std::vector<Param> params;
    if (!ParseParams(t, open, t.entry, &params)) {
        return false;
    }
    std::string declarations;
    std::string setup;
    std::string arguments;
    std::string signature;
    int varyingCount = 0;
    std::vector<std::pair<const Param *, std::string>> outParams;
    for (const Param &param : params) {
        if (param.isUniform) {
            if (!AddUniform(t, param.name, param.type.ty, param.line)) {
                return false;
            }
            std::string value;
            if (param.defaultBegin >= 0) {
                Parser p = MakeParser(t);
                Expr init;
                if (!ParseWhole(p, param.defaultBegin, param.defaultEnd, &init, "a default value") ||
                    !Convert(t, &init, param.type.ty, param.line)) {
                    return false;
                }
                if (init.variable) {
                    return Fail(t, param.line, "the default value of uniform '" + param.name + "' must be a constant");
                }
                value = " = " + ExprText(init);
            }
            EmitAt(t, param.line, "uniform " + GlslType(t, param.type.ty) + " " + GlslName(param.name) + value + ";", true);
            continue;
        }
        if (param.isOut) {
            // The common style of vertex programs: each output an out parameter with a semantic.
            if (param.qualifier == "inout") {
                return Fail(t, param.line, "inout parameter '" + param.name + "' of '" + t.entry + "': a vertex "
                                           "program's inputs and outputs are apart; use in or out");
            }
            const std::string local = "cgx_out" + std::to_string(outParams.size());
            setup += GlslType(t, param.type.ty) + " " + local + "; ";
            outParams.emplace_back(&param, local);
            arguments += (arguments.empty() ? "" : ", ") + local;
            signature += (signature.empty() ? "" : ", ") + std::string("out ") + GlslType(t, param.type.ty) + " " +
                         GlslName(param.name);
            continue;
        }
        const std::string local = "cgx_in" + std::to_string(varyingCount++);
        if (param.type.ty.base == Base::Struct) {
            const StructDef &def = t.structs[param.type.ty.structIndex];
            setup += def.glslName + " " + local + "; ";
            for (const Member &m : def.members) {
                std::string expression;
                if (!AddInput(t, param.name + "." + m.name, m.semantic, m.type, m.line, &expression, &declarations)) {
                    return false;
                }
                setup += local + "." + m.glslName + " = " + expression + "; ";
            }
        } else {
            if (param.semantic.empty()) {
                return Fail(t, param.line,
                            "parameter '" + param.name + "' of '" + t.entry + "' needs a semantic or 'uniform'");
            }
            std::string expression;
            if (!AddInput(t, param.name, param.semantic, param.type, param.line, &expression, &declarations)) {
                return false;
            }
            setup += GlslType(t, param.type.ty) + " " + local + " = " + expression + "; ";
        }
        arguments += (arguments.empty() ? "" : ", ") + local;
        signature += (signature.empty() ? "" : ", ") + std::string(param.isConst ? "const " : "") +
                     GlslType(t, param.type.ty) + " " + GlslName(param.name);
    }

    std::vector<std::string> targets;
    std::string outputs;
    for (const auto &out : outParams) {
        const Param &param = *out.first;
        if (param.type.ty.base == Base::Struct) {
            for (const Member &m : t.structs[param.type.ty.structIndex].members) {
                if (!AddOutput(t, m.name, out.second + "." + m.glslName, m.semantic, m.type, m.line, &targets,
                               &outputs)) {
                    return false;
                }
            }
        } else if (!AddOutput(t, param.name, out.second, param.semantic, param.type, param.line, &targets,
                              &outputs)) {
            return false;
        }
    }
    if (ret.ty.base == Base::Void) {
        if (outParams.empty()) {
            return Fail(t, nameTok.line, "entry function '" + t.entry + "' returns nothing; it must return its "
                                         "output or have out parameters");
        }
    } else if (ret.ty.base == Base::Struct) {
        if (!returnSemantic.empty()) {
            return Fail(t, nameTok.line, "a semantic on a struct result is not supported");
        }
        for (const Member &m : t.structs[ret.ty.structIndex].members) {
            if (!AddOutput(t, m.name, "cgx_out." + m.glslName, m.semantic, m.type, m.line, &targets, &outputs)) {
                return false;
            }
        }
    } else if (!AddOutput(t, "result of " + t.entry, "cgx_out", returnSemantic, ret, nameTok.line, &targets,
                          &outputs)) {
        return false;
    }
    if (std::find(targets.begin(), targets.end(), "gl_Position") == targets.end()) {
        return Fail(t, nameTok.line, "the output of '" + t.entry + "' has no POSITION");
    }

    EmitAt(t, t.tokens[nameIndex - 1].line, GlslType(t, ret.ty), t.tokens[nameIndex - 1].spaceBefore);
    EmitAt(t, nameTok.line, "cgx_entry(" + signature + ")", true);
    if (!TranslateBody(t, bodyOpen, ret.ty, params)) {
        return false;
    }
    // The wrapper reports as the entry function's line: its faults come from that declaration.
    const std::string call = "cgx_entry(" + arguments + "); ";
    EmitAt(t, nameTok.line, declarations + "void main() { " + setup +
                                (ret.ty.base == Base::Void ? call : GlslType(t, ret.ty) + " cgx_out = " + call) + outputs + "}",
           false);
    return true;
}

}  // namespace cg
