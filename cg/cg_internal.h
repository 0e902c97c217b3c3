// cg_internal.h -- what the translator's stages hand each other: tokens, types, the expression
// tree, the translator's state, and the one way a Cg error leaves a stage.
#pragma once

#include "cg/cg_preprocess.h"
#include "cg/cg_translate.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace cg {

const size_t maxSourceSize = size_t(16) << 20;
const size_t maxIdentifierLength = 1024;
const int maxBracketDepth = 256;
const int maxExpressionDepth = 320;  // brackets plus chained casts
const int maxStatementDepth = 512;
const int maxUniformArray = 256;
const size_t maxUniformEntries = 1024;

// A Cg error: thrown by Fail inside cg/ only, caught at TranslateCgProgram and PreprocessCg,
// which turn it into the located message. Nothing else in cg/ throws.
struct CgError {
    int line;
    std::string message;
};

[[noreturn]] void Fail(int line, const std::string &message);

// What a type is made of. Float covers half, fixed and double, which this profile computes in
// float; Unknown is the type of what the translator cannot see through, and meets anything.
enum class Base : char { Unknown, Float, Int, Bool, Void, Struct };

// The one record for a Cg type: a scalar, vector or matrix of a base, a struct, or an array of
// either. Matrices are floatRxC with rows > 1; vectors have rows == 1 and cols > 1.
struct Ty {
    Base base = Base::Unknown;
    int rows = 1;     // >1 for matrices
    int cols = 1;     // vector size, 1 for scalars
    int structIndex = -1;
    int array = 0;    // element count of an array, 0 for everything else
};

struct Member {
    std::string name;
    std::string glslName;
    Ty type;
    std::string semantic;
    int line;
};

struct StructDef {
    std::string name;
    std::string glslName;
    std::vector<Member> members;
};

// A declared name: its type, its name in the shader, who may write it, and whether the shader
// holds it as a GLSL constant.
struct Variable {
    Ty type;
    std::string glslName;
    char readOnly = 0;      // 'c' const, 'u' uniform, 'g' GL state; 0 when it may be written
    bool constant = false;  // a GLSL const: it may stand in constant expressions
    bool hasValue = false;  // an int constant whose value is known, for array sizes
    long long intValue = 0;
};

// ---- The expression tree --------------------------------------------------------------------
// Every expression is a node with its Cg type. Literal, Name: leaves. Group: source brackets.
// Member: kids[0] then `text` (".xy", ".field", "[1][2]"). Index: kids[0][kids[1]]. Call: `text`
// applied to the kids (GLSL functions, constructors, casts and helpers). Unary, Postfix,
// Binary, Assign: the operator `text`. Conditional: kids[0] ? kids[1] : kids[2].
enum class NodeKind : char { Literal, Name, Group, Member, Index, Call, Unary, Postfix, Binary, Assign, Conditional };

enum CallKind : char { BuiltIn, Helper, UserFunction };

struct Node {
    NodeKind kind = NodeKind::Literal;
    Ty type;
    std::string text;
    int line = 0;
    int closeLine = 0;  // the line of a closing bracket
    bool space = false;  // a blank stood before it in the source
    std::vector<Node> kids;
    CallKind call = BuiltIn;
    bool isInt = false;   // an integer literal; `value` holds it
    double value = 0;
    const Variable *variable = nullptr;  // what a Name names
    std::string readOnly;  // why the variable a Name, Member or Index reaches cannot be written
};

Node MakeNode(NodeKind kind, const std::string &text, const Ty &type, int line, std::vector<Node> kids = {},
              bool space = false);
std::vector<Node> Kids(Node a);
std::vector<Node> Kids(Node a, Node b);

// Questions asked of the tree.
bool IsLvalue(const Node &n);
bool HasEffects(const Node &n);
bool IsConstant(const Node &n);  // a GLSL 1.20 constant expression
bool ConstantInt(const Node &n, long long *value);

// ---- The translator's state -----------------------------------------------------------------
struct FuncSig {
    Ty ret;
    std::vector<Ty> params;
    std::vector<bool> isOut;
    std::string glslName;
    std::vector<std::string> spelled;  // the parameter types as written: half3 and float3 are apart
    bool defined = false;
    int line = 0;
    int id = 0;
};

// The helpers of the preamble a program uses, one bit each.
enum PreambleFunction {
    PreambleSaturate = 1, PreambleTrunc = 2, PreambleFmod = 4, PreambleRound = 8, PreambleLog10 = 16,
    PreambleSincos = 32, PreambleHyperbolic = 64, PreambleIntMod = 128, PreambleLit = 256, PreambleDeterminant = 512,
    PreambleModf = 1024, PreambleLdexp = 2048, PreambleFrexp = 4096, PreambleClassify = 8192,
};

struct Translator {
    std::string entry;
    std::vector<CgToken> tokens;
    std::vector<int> match;   // the other bracket of a pair, -1 for every other token
    std::vector<int> commas;  // commas directly inside a bracket pair
    std::vector<StructDef> structs;
    std::unordered_map<std::string, int> structIndex;  // hashed: a program may hold many structs
    std::unordered_map<std::string, Ty> typedefs;
    std::unordered_map<std::string, std::vector<FuncSig>> functions;
    std::vector<std::vector<std::pair<int, int>>> calls;  // by function id: the ids it calls, and where
    std::vector<std::string> functionNames;               // by function id
    int currentFunction = -1;
    size_t functionStart = 0;  // where the current function's text begins in `body`
    int staticCount = 0;
    std::vector<std::unordered_map<std::string, Variable>> scopes;  // the globals first, then the function's
    std::string body;
    int bodyLine = 1;  // the source line the current output line reports as
    int preamble = 0;
    bool entryFound = false;
    int depth = 0;  // of statements and expressions, against hostile nesting
    CgTranslation *result = nullptr;
    std::unordered_map<std::string, bool> written;  // names the program assigns to, steps or passes as 'out'
    std::string copies;   // main()'s copies of the uniforms the program writes
    std::string helpers;  // functions generated for the program, written after the preamble
    std::unordered_map<std::string, std::string> helperNames;  // a helper's text to its name
};

struct DepthGuard {
    int &depth;
    DepthGuard(int &d, int limit, int line, const char *what) : depth(d)
    {
        if (++depth > limit) {
            Fail(line, what);
        }
    }
    ~DepthGuard() { depth--; }
};

// ---- lexer.cpp: source to tokens, numbers, brackets -----------------------------------------
bool IsDigit(unsigned char c);
bool IsIdentifierStart(unsigned char c);
bool IsIdentifierChar(unsigned char c);
std::vector<CgToken> Lex(const std::string &source, int firstLine);
int CountLines(const std::string &source);
size_t ReadNumber(const std::string &text, int line, double *value, bool *isFloat, size_t *digits);
void MatchBrackets(Translator &t);
bool IsOpen(const CgToken &tok);
bool IsClose(const CgToken &tok);
bool Is(const CgToken &tok, const char *text);
int BinaryLevel(const std::string &op);

// ---- preprocessor.cpp: tokens to tokens --------------------------------------------------------
std::vector<CgToken> Preprocess(const std::string &source);

// ---- types.cpp: Cg's types and conversions ---------------------------------------------------
bool SameType(const Ty &a, const Ty &b);
Ty MakeTy(Base base, int rows = 1, int cols = 1);
bool LookupCgType(const std::string &name, Ty *ty);
bool LookupType(const Translator &t, const CgToken &tok, Ty *ty);
bool IsCgKeyword(const std::string &word);
bool IsName(const Translator &t, const CgToken &tok);
bool IsNumeric(const Ty &ty);
bool IsMatrix(const Ty &ty);
bool IsScalar(const Ty &ty);
bool IsVector(const Ty &ty);
bool Known(const Ty &ty);
std::string ElementGlsl(const Translator &t, const Ty &ty);
std::string GlslType(const Translator &t, const Ty &ty);
std::string CgTypeName(const Translator &t, const Ty &ty);
// Converts `n` to `to` as Cg converts on assignment, arguments and return: by a cast node.
void Convert(Translator &t, Node &n, const Ty &to, int line);
// How well a value of `from` fits `to`, as Cg ranks overloads: 0 exact, 1 a promotion, 2 any
// other conversion that Convert makes, -1 none.
int ConversionRank(const Ty &from, const Ty &to);
Node Cast(const Translator &t, Node n, const Ty &to, int line);
Node FillMatrix(const Translator &t, Node n, const Ty &to, int line);
Ty Meet(const Ty &a, const Ty &b);
bool UniformTypeOf(const Ty &ty, CgType *out);

// ---- expressions.cpp: expressions into typed nodes -------------------------------------------
const Variable *Lookup(const Translator &t, const std::string &name);
Variable *Declare(Translator &t, const std::string &name, const Variable &v);
int ExpressionEnd(const Translator &t, int i, int end, bool stopAtComma);
Node ParseExpression(Translator &t, int begin, int end, const char *what);
std::vector<Node> ParseArguments(Translator &t, int open);
Node MakeCall(const CgToken &at, const std::string &glsl, std::vector<Node> args, const Ty &type, CallKind call);
Node ToCondition(Translator &t, Node n, int line);

// ---- library.cpp: calls of the library and of the program's functions -----------------------
Node CallFunction(Translator &t, const CgToken &name, int open);

// ---- statements.cpp: statements, bodies, and the one declarator rule -------------------------
struct Declarator {
    std::string name;
    int line = 0;
    Ty type;
    std::string semantic;
    int semanticLine = 0;
    int initBegin = -1;  // the tokens of its initialiser, [initBegin, initEnd)
    int initEnd = -1;
};
struct Qualifiers {
    bool isConst = false, isStatic = false, isUniform = false, in = false, out = false;
};
Qualifiers ReadQualifiers(const Translator &t, int *pos);
Ty ReadType(const Translator &t, int pos, const std::string &where);
int ReadDeclarator(Translator &t, int pos, int end, const Ty &base, Declarator *d, bool nameless = false);
void TranslateBody(Translator &t, int open, const Ty &ret);
std::vector<Declarator> TranslateVariables(Translator &t, int typeIndex, int end, const Qualifiers &q, bool global,
                                           int *next);

// ---- declarations.cpp: the program's top level ----------------------------------------------
void AddUniform(Translator &t, const std::string &name, const Ty &ty, int line);
void CopyIfWritten(Translator &t, const std::string &name, int line);
void Translate(Translator &t, const std::string &source);

// ---- entry.cpp: the entry function and main() -----------------------------------------------
struct Param {
    Qualifiers q;
    Declarator d;
    std::string spelled;
};
void EmitEntry(Translator &t, const Ty &ret, int nameIndex, const std::vector<Param> &params,
               const std::string &returnSemantic, int bodyOpen);

// ---- emit.cpp: GLSL text ----------------------------------------------------------------------
std::string GlslName(const std::string &name);
std::string Upper(const std::string &text);
bool Glues(char last, char first);
void EmitAt(Translator &t, int line, const std::string &text, bool space);
void EmitToken(Translator &t, const CgToken &tok, const std::string &text);
void EmitFunctionStart(Translator &t, int nameIndex, const Ty &ret);
void EmitNode(Translator &t, const Node &n);
std::string NodeText(const Node &n);
// A function generated for the program, once for each text: `signature` holds '%' where its name
// goes, `body` follows it. Returns the name, `stem` and a number.
std::string MakeHelper(Translator &t, const std::string &stem, const std::string &signature, const std::string &body);
std::string Preamble(int used);

// ---- messages.cpp ----------------------------------------------------------------------------
std::string ShowChar(unsigned char c);

}  // namespace cg
