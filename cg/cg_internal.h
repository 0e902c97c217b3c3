// cg_internal.h -- what the translator's files share: its records, and one section per file.
#pragma once

#include "cg/cg_preprocess.h"
#include "cg/cg_translate.h"

#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace cg {

// ---- Records --------------------------------------------------------------------------------
const size_t maxSourceSize = size_t(16) << 20;
const size_t maxIdentifierLength = 1024;
const int maxBracketDepth = 256;
const int maxExpressionDepth = 320;  // brackets plus chained casts
const int maxUniformArray = 256;
const size_t maxUniformEntries = 1024;

enum class TokenKind { Identifier, Number, Punct, End };

struct Token {
    TokenKind kind;
    std::string text;
    int line;
    bool spaceBefore;
    int match;   // the other bracket of a pair, -1 for everything else
    int commas;  // commas directly inside a bracket pair
};

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
    char readOnly = 0;  // of a declared name: 'c' const, 'u' uniform; 0 when it may be written
};

// A type as a declaration writes it: the type and its spelling ("half3"), for messages and
// for telling half from float apart where Cg does.
struct TypeRef {
    Ty ty;
    std::string cgName;
};

struct Member {
    std::string name;
    std::string glslName;
    TypeRef type;
    std::string semantic;
    int line;
};

struct StructDef {
    std::string name;
    std::string glslName;
    std::vector<Member> members;
};

struct Param {
    bool isUniform;
    bool isOut;
    bool isConst;
    std::string qualifier;  // in, out, inout or empty
    TypeRef type;
    std::string name;
    std::string semantic;
    int line;
    int defaultBegin = -1;  // the tokens of a uniform parameter's default value, [begin, end)
    int defaultEnd = -1;
};

enum PreambleFunction {
    PreambleSaturate = 1,
    PreambleTrunc = 2,
    PreambleFmod = 4,
    PreambleRound = 8,
    PreambleLog10 = 16,
    PreambleSincos = 32,
    PreambleHyperbolic = 64,
    PreambleIntMod = 128,
    PreambleLit = 256,
    PreambleDeterminant = 512,
    PreambleModf = 1024,
    PreambleLdexp = 2048,
};


struct FuncSig {
    Ty ret;
    std::vector<Ty> params;
    std::vector<bool> isOut;
    std::string glslName;
    std::vector<std::string> spelled;  // the parameter types as written: half3 and float3 are apart
    bool defined = false;
    int line = 0;
};

struct Translator {
    std::string fileName;
    std::string entry;
    std::vector<Token> tokens;
    std::vector<StructDef> structs;
    std::unordered_map<std::string, int> structIndex;  // hashed: a program may hold many structs
    std::unordered_set<std::string> uniformNames;
    std::string body;
    int bodyLine = 1;  // the source line the current output line reports as
    int preamble = 0;
    bool entryFound = false;
    bool failed = false;
    std::string error;
    int errorLine = 0;
    CgTranslation *result = nullptr;
    std::unordered_map<std::string, Ty> globals;
    std::unordered_map<std::string, std::vector<FuncSig>> functions;
    std::string helpers;  // functions generated for the program, written after the preamble
    std::unordered_map<std::string, std::string> helperNames;  // a helper's text to its name
};

struct Piece {
    int line;
    bool space;
    std::string text;
};

// How tightly an emitted expression's outermost operator binds. An operand that binds more
// loosely than the operator it meets is bracketed, so copied or combined text never regroups.
// Binary operators use their BinaryLevel, 1 (||) to 10 (* / %).
const int PrecAssign = -1;
const int PrecConditional = 0;
const int PrecUnary = 11;
const int PrecPostfix = 12;  // names, literals, calls, brackets, members and indexing

struct Expr {
    std::deque<Piece> code;  // a deque: conversions wrap long expressions from the front
    Ty type;
    bool lvalue = false;
    bool intLiteral = false;
    int prec = PrecPostfix;
    std::string readOnly;  // why the variable it names cannot be written, for the message
    bool effects = false;  // writes something when evaluated (++, --, =, a call), so it may not be copied
    bool variable = false;  // reads a variable or calls a function of its own: no GLSL constant
};

struct Scope {
    std::vector<std::unordered_map<std::string, Ty>> levels;
};

struct Parser {
    Translator &t;
    Scope scope;
    std::unordered_map<std::string, std::vector<FuncSig>> *functions;
    int depth = 0;
};

const int maxStatementDepth = 512;

struct DepthGuard {
    int &depth;
    explicit DepthGuard(int &d) : depth(d) { depth++; }
    ~DepthGuard() { depth--; }
};

enum LibraryRule { Same, Meets, Refract, ToScalar, Cross, Any, All, Lit, Sincos, Determinant, Transpose, Modf, Ldexp };

struct LibraryFunction {
    const char *cg;
    const char *glsl;
    int minArgs, maxArgs;
    LibraryRule rule;
    int preamble;
};

// ---- lexer.cpp -------------------------------------------------------------------------------------
bool IsDigit(unsigned char c);
bool IsHexDigit(unsigned char c);
bool IsIdentifierStart(unsigned char c);
bool IsIdentifierChar(unsigned char c);
bool LexNumber(Translator &t, const std::string &src, size_t *pos, int line, std::string *text);
size_t PunctLength(const std::string &src, size_t i);
size_t PpNumberLength(const std::string &src, size_t i);
bool TakeTokens(Translator &t, const CgPreprocessResult &in);
bool IsOpen(const Token &tok);
bool IsClose(const Token &tok);
bool Is(const Token &tok, const char *text);
bool MatchBrackets(Translator &t);

// ---- types.cpp -------------------------------------------------------------------------------------
bool SameType(const Ty &a, const Ty &b);
Ty MakeTy(Base base, int rows = 1, int cols = 1);
bool LookupCgType(const std::string &name, Ty *ty);
bool IsCgType(const std::string &name);
bool ParseType(Translator &t, int pos, TypeRef *type);
bool IsCgKeyword(const std::string &word);
bool IsName(const Token &tok);
bool IsNumeric(const Ty &ty);
bool IsMatrix(const Ty &ty);
bool IsScalar(const Ty &ty);
bool IsVector(const Ty &ty);
bool Known(const Ty &ty);
std::string ElementGlsl(const Translator &t, const Ty &ty);
std::string GlslType(const Translator &t, const Ty &ty);
std::string CgTypeName(const Translator &t, const Ty &ty);
void FillMatrix(const Translator &t, Expr *e, const Ty &to, int line);
bool Convert(Translator &t, Expr *e, const Ty &to, int line);
Ty Meet(const Ty &a, const Ty &b);
bool UniformTypeOf(const Ty &ty, CgType *out);

// ---- expressions.cpp -------------------------------------------------------------------------------
bool Lookup(Parser &p, const std::string &name, Ty *ty);
void Declare(Parser &p, const std::string &name, const Ty &ty);
int ExpressionEnd(const Translator &t, int i, int end, bool stopAtComma);
bool ParseWhole(Parser &p, int begin, int end, Expr *out, const char *what);
bool ParseArguments(Parser &p, int open, std::vector<Expr> *args);
bool MatrixSwizzle(Parser &p, const Token &member, Expr *e);
bool ParseGlState(Parser &p, int *pos, int end, Expr *out);
bool Swizzle(Parser &p, const Token &member, Expr *e);
bool ParsePostfix(Parser &p, int *pos, int end, Expr *e);
bool ParsePrimary(Parser &p, int *pos, int end, Expr *out);
bool ParseUnary(Parser &p, int *pos, int end, Expr *out);
int BinaryLevel(const Token &tok);
bool Combine(Parser &p, const Token &op, Expr *a, Expr &b);
bool ParseBinary(Parser &p, int *pos, int end, int minLevel, Expr *out);
bool ToCondition(Parser &p, Expr *e, int line);
bool ParseConditional(Parser &p, int *pos, int end, Expr *out);
bool ParseAssignment(Parser &p, int *pos, int end, Expr *out);
bool CompoundHelper(Parser &p, const Token &op, const Ty &target, const Ty &value, std::string *name);
bool ParseExpressionList(Parser &p, int begin, int end, std::vector<Expr> *list);

// ---- statements.cpp --------------------------------------------------------------------------------
bool IsTypeName(const Translator &t, const Token &tok);
bool RefusedTypeName(Translator &t, const Token &tok);
bool BraceInit(Parser &p, int open, const Ty &ty, Expr *out);
bool ParseVariables(Parser &p, int typeIndex, int end, bool global, int *next);
bool ParseCondition(Parser &p, int keyword, int *pos);
bool ParseExpressionStatement(Parser &p, int *pos, int end);
bool ParseStatementBody(Parser &p, int *pos, int end, const Ty &ret);
bool ParseStatement(Parser &p, int *pos, int end, const Ty &ret);
Parser MakeParser(Translator &t);
bool TranslateBody(Translator &t, int open, const Ty &ret, const std::vector<Param> &params);

// ---- declarations.cpp ------------------------------------------------------------------------------
bool TranslateGlobals(Translator &t, int typeIndex, int *next);
bool RegisterFunction(Translator &t, const Token &nameTok, const TypeRef &ret, const std::vector<Param> &params,
                      bool definition);
bool ParseStruct(Translator &t, int *pos);
bool AddUniformEntries(Translator &t, const std::string &name, const std::string &glslName, const Ty &ty, int line);
bool AddUniform(Translator &t, const std::string &name, const Ty &ty, int line);
bool ParseParam(Translator &t, int begin, int end, const std::string &function, Param *param);
bool ParseParams(Translator &t, int open, const std::string &function, std::vector<Param> *params);
void EmitFunctionHeader(Translator &t, const TypeRef &ret, int nameIndex, const std::vector<Param> &params);
bool ParseFunction(Translator &t, const TypeRef &ret, int nameIndex, int *next);
bool ParseDeclaration(Translator &t, int *pos);
bool Translate(Translator &t, const std::string &source);

// ---- library.cpp -----------------------------------------------------------------------------------
bool MulCall(Parser &p, const Token &name, std::vector<Expr> &args, Expr *out);
extern const LibraryFunction libraryFunctions[];
extern const size_t libraryFunctionCount;
const char *RefusedLibraryFunction(const std::string &name);
bool NeedsNumeric(Parser &p, const Token &name, const std::vector<Expr> &args);
bool LibraryCall(Parser &p, const Token &name, const LibraryFunction &f, std::vector<Expr> &args, Expr *out);
int MatchRank(const Ty &from, const Ty &to);
bool UserCall(Parser &p, const Token &name, const std::vector<FuncSig> &overloads, std::vector<Expr> &args, Expr *out,
              bool *noMatch);

// ---- entry.cpp -------------------------------------------------------------------------------------
bool AddInput(Translator &t, const std::string &name, const std::string &semantic, const TypeRef &type, int line,
              std::string *expression, std::string *declarations);
bool OutputTarget(const std::string &semantic, std::string *target, bool *isVector);
bool AddOutput(Translator &t, const std::string &name, const std::string &value, const std::string &semantic,
               const TypeRef &type, int line, std::vector<std::string> *targets, std::string *code);
bool EmitEntry(Translator &t, const TypeRef &ret, int nameIndex, int open, const std::string &returnSemantic,
               int bodyOpen);

// ---- emit.cpp --------------------------------------------------------------------------------------
bool IsGlslReserved(const std::string &name);
std::string GlslName(const std::string &name);
std::string Upper(const std::string &text);
bool Glues(char last, char first);
void EmitAt(Translator &t, int line, const std::string &text, bool space);
void EmitToken(Translator &t, const Token &tok, const std::string &text);
Piece TokPiece(const Token &tok, const std::string &text);
void Append(Expr *to, const Expr &from);
void Wrap(Expr *e, int line, const std::string &before, const std::string &after);
// Brackets `e` when its outermost operator binds more loosely than `prec`.
void Group(Expr *e, int line, int prec);
void EmitExpr(Translator &t, const Expr &e);
// A function generated for the program, once for each text: `signature` holds '%' where its name
// goes, `body` follows it. Returns the name, `stem` and a number.
std::string Helper(Translator &t, const std::string &stem, const std::string &signature, const std::string &body);
// The expression as one line of GLSL, for the generated helpers.
std::string ExprText(const Expr &e);
Expr Call(const Token &name, const std::string &glsl, const std::vector<Expr> &args, const Ty &ret);
std::string Preamble(int used);

// ---- messages.cpp ----------------------------------------------------------------------------------
bool Fail(Translator &t, int line, const std::string &message);
std::string ShowChar(unsigned char c);
int ReadLineNumber(const std::string &text, size_t begin);
bool ReadGlslangPrefix(const std::string &text, int *line, size_t *rest);
bool ReadLogPrefix(const std::string &text, int *line, size_t *rest);
std::string CgWords(const std::string &text, const char *entry);

}  // namespace cg
