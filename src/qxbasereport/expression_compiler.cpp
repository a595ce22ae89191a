// The expression compiler: reads an infix expression operand by operand and
// operator by operator, checks that each token may follow the one before,
// orders the tokens by priority and writes them back as nested calls of the
// operator functions. The operand reader also classifies single field texts
// for the compile pass.
#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/base_report.h"
#include "qxbasereport/internal/expression.h"
#include "qxbasereport/internal/lang_text.h"

namespace qx {

namespace {

using U32 = std::u32string;
// The rest of an expression from some position on: read in place, so that
// reading a long expression token by token copies nothing but the tokens.
using U32View = std::u32string_view;

bool IsNameChar(char32_t c) {
    return TQxBaseReport::Letter(c) || c >= 0xC0 || c == U'_';
}
bool IsNameOrDigit(char32_t c) {
    return IsNameChar(c) || TQxBaseReport::Digit(c);
}
bool IsExponentMark(char32_t c) {
    return c == U'E' || c == U'e';
}
bool IsAnyOf(char32_t c, std::u32string_view set) {
    return set.find(c) != set.npos;
}
bool IsAsciiWordAt(U32View u, std::string_view word) {
    if (u.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (u[i] > 0x7F || AsciiUpper(static_cast<char>(u[i])) != word[i]) return false;
    return true;
}

// Length of the number at the start of `u`, or 0 when it is no valid number
// (a valid one ends in a digit: "1." and "1e" are not numbers).
std::size_t ScanNumber(U32View u) {
    using B = TQxBaseReport;
    bool point = false;
    bool exponent = false;
    bool expDigit = false;
    bool expSign = false;
    std::size_t i = 1;
    for (; i < u.size(); ++i) {
        const char32_t c = u[i];
        const char32_t p = u[i - 1];
        const bool leading = B::Digit(p) || i == 1;
        bool accept = false;
        if (!exponent) {
            if (leading && !point) {
                accept = B::Digit(c) || c == U'.' || IsExponentMark(c);
            } else if (leading) {
                accept = B::Digit(c) || IsExponentMark(c);
            } else if (p == U'.' && !point && B::Digit(c)) {
                accept = point = true;
            } else if (IsExponentMark(p) && (B::Digit(c) || c == U'+' || c == U'-')) {
                accept = exponent = true;
            }
        } else if (B::Digit(p) && B::Digit(c)) {
            accept = expDigit = true;
        } else if (!expDigit && !expSign && (p == U'+' || p == U'-') && B::Digit(c)) {
            accept = expSign = true;
        }
        if (!accept) break;
    }
    return B::Digit(u[i - 1]) ? i : 0;
}

bool IsDateConstant(U32View u) {
    if (u.size() < 12 || u[0] != U'{' || u[5] != U'-' || u[8] != U'-' || u[11] != U'}')
        return false;
    for (std::size_t i : {1, 2, 3, 4, 6, 7, 9, 10})
        if (!TQxBaseReport::Digit(u[i])) return false;
    return true;
}

// ---- operator attributes ------------------------------------------------------

struct OperatorInfo {
    std::string_view token;
    std::int32_t argsNeed;
    bool reqBool;
    bool allowBool;
    bool retBool;
    std::int32_t priority;
};

// clang-format off
constexpr std::array<OperatorInfo, 21> kOperators = {{
    {"&&", 2, true, true, true, 3},
    {"||", 2, true, true, true, 3},
    {"<=", 2, false, false, true, 5},
    {"=>", 2, false, false, true, 5},
    {">=", 2, false, false, true, 5},
    {"<>", 2, false, true, true, 4},
    {"!=", 2, false, true, true, 4},
    {":=", 2, false, true, false, 2},
    {"u-", 1, false, false, false, 8},
    {"u+", 1, false, false, false, 8},
    {"!", 1, true, true, true, 8},
    {"*", 2, false, false, false, 7},
    {"/", 2, false, false, false, 7},
    {"%", 2, false, false, false, 7},
    {"+", 2, false, false, false, 6},
    {"-", 2, false, false, false, 6},
    {"<", 2, false, false, true, 5},
    {">", 2, false, false, true, 5},
    {"=", 2, false, true, true, 4},
    {"(", 0, false, false, false, 0},
    {")", 0, false, false, false, 1},
}};
// clang-format on

TQxOperand MakeOperator(const std::string& token) {
    for (const OperatorInfo& op : kOperators)
        if (op.token == token)
            return TQxOperand{token,        false,      op.argsNeed, op.reqBool,
                              op.allowBool, op.retBool, op.priority, 0};
    throw Exception("Unknown operator " + token);
}

bool OneOf(const std::string& s, std::initializer_list<std::string_view> set) {
    for (std::string_view v : set)
        if (s == v) return true;
    return false;
}

bool IsPrefix(const std::string& op) {
    return OneOf(op, {"!", "u+", "u-"});
}

// Whether a sign after this token is a sign of the next operand.
bool UnaryAfter(const TQxOperand& t) {
    return !t.IsOperand && OneOf(t.Text, {"(", "+", "-", "*", "/", "%", "<", ">", "=", "<=", "=>",
                                          ">=", "<>", "!=", ":="});
}

// Whether operator `cur` may follow the operator `prev`.
bool OperatorMayFollow(const std::string& prev, const std::string& cur) {
    if (OneOf(prev, {"+", "-", "*", "/", "%", "<", ">", "=", "<=", "=>", ">=", "<>", "!=", ":="}))
        return OneOf(cur, {"(", "u+", "u-"});
    if (OneOf(prev, {"&&", "||", "!"})) return OneOf(cur, {"!", "("});
    if (OneOf(prev, {"u+", "u-"})) return cur == "(";
    if (prev == "(") return OneOf(cur, {"u+", "u-", "!", "("});
    if (prev == ")") return !OneOf(cur, {"u+", "u-", "!", "("});
    return true;
}

// ---- operand reader ---------------------------------------------------------------

struct Token {
    std::int32_t code = CmKind::NotAField;
    U32 text;
    std::size_t length = 0;  // characters of the input the token used
};

// A name followed by "(" whose bracket balances (quotes skipped): the call.
Token ReadCall(const TQxBaseReport& r, U32View u, std::size_t open) {
    int depth = 0;
    char32_t quote = 0;
    for (std::size_t k = open; k < u.size(); ++k) {
        const char32_t c = u[k];
        if (quote != 0) {
            if (r.RightQuote(quote, c)) quote = 0;
        } else if (r.LeftQuote(c)) {
            quote = c;
        } else if (c == U'(') {
            ++depth;
        } else if (c == U')' && --depth == 0) {
            return {CmKind::Call, U32(u.substr(0, k + 1)), k + 1};
        }
    }
    return {};
}

// alias "." or ":" then a field name, a field index "(n)", or ":=" after a name.
Token ReadQualified(U32View u, std::size_t sep, bool dotAsColon) {
    const std::size_t n = u.size();
    const bool dot = u[sep] == U'.';
    std::size_t end = 0;
    if (sep + 1 < n && IsNameOrDigit(u[sep + 1])) {
        end = sep + 1;
        while (end < n && (IsNameOrDigit(u[end]) || u[end] == U' ')) ++end;
    } else if (sep + 2 < n && u[sep + 1] == U'=') {
        return {CmKind::Variable, U32(u.substr(0, sep)), sep};
    } else if (sep + 1 < n && u[sep + 1] == U'(') {
        std::size_t k = sep + 2;
        while (k < n && TQxBaseReport::Digit(u[k])) ++k;
        if (k == sep + 2 || k >= n || u[k] != U')') return {};
        end = k + 1;
    } else {
        return {};
    }
    Token t{dot ? CmKind::DotField : CmKind::ColonField, U32(u.substr(0, end)), end};
    if (dot && dotAsColon) {
        t.code = CmKind::ColonField;
        t.text[sep] = U':';
    }
    return t;
}

Token ReadName(const TQxBaseReport& r, U32View u, bool dotAsColon) {
    const std::size_t n = u.size();
    std::size_t stop = 1;
    while (stop < n && (IsNameOrDigit(u[stop]) || u[stop] == U' ')) ++stop;
    if (stop == n) return {CmKind::Variable, U32(u), n};
    const char32_t c = u[stop];
    const char32_t before = u[stop - 1];
    if (!IsAnyOf(c, U"(.:") && before != U' ')
        return {CmKind::Variable, U32(u.substr(0, stop)), stop};
    if (!IsNameOrDigit(before)) return {};
    if (c == U'(') return stop + 1 < n ? ReadCall(r, u, stop) : Token{};
    return ReadQualified(u, stop, dotAsColon);
}

Token ReadOperandToken(const TQxBaseReport& r, U32View u, bool dotAsColon) {
    if (u.empty() || IsAnyOf(u[0], U"):<>=*/%")) return {};
    if (IsDateConstant(u)) return {CmKind::Date, U32(u.substr(0, 12)), 12};
    if (IsAsciiWordAt(u, "TRUE")) return {CmKind::Boolean, U"TRUE", 4};
    if (IsAsciiWordAt(u, "FALSE")) return {CmKind::Boolean, U"FALSE", 5};
    if (TQxBaseReport::Digit(u[0]) || IsAnyOf(u[0], U"+-.")) {
        if (const std::size_t len = ScanNumber(u); len > 0)
            return {CmKind::Number, U32(u.substr(0, len)), len};
    }
    if (u.size() >= 2 && r.LeftQuote(u[0])) {
        for (std::size_t k = 1; k < u.size(); ++k)
            if (r.RightQuote(u[0], u[k])) return {CmKind::String, U32(u.substr(0, k + 1)), k + 1};
    }
    if (IsNameChar(u[0])) {
        Token t = ReadName(r, u, dotAsColon);
        if (t.code != CmKind::NotAField) return t;
    }
    if (IsAnyOf(u[0], U"(-+!")) return {CmKind::Expression, {}, 0};
    return {};
}

// ---- operator reader --------------------------------------------------------------

// The operator at the start of `s` (blanks skipped before), "" when there is
// none; a sign read with `unary` becomes "u+" or "u-". "=>" is a spelling of
// ">=" (both become SYS_GTEQ); read as "=" then ">" it could only fail.
std::string OperatorAt(std::string_view s, bool unary) {
    if (s.size() >= 2 &&
        OneOf(std::string(s.substr(0, 2)), {":=", "&&", "||", "<=", "=>", ">=", "<>", "!="}))
        return std::string(s.substr(0, 2));
    if (s.empty() || std::string_view("!%()*+-/<=>").find(s[0]) == std::string_view::npos)
        return {};
    if (unary && (s[0] == '+' || s[0] == '-')) return std::string("u") + s[0];
    return std::string(1, s[0]);
}

// Characters of the expression an operator took ("u-" took one).
std::size_t OperatorLength(const std::string& op) {
    return op[0] == 'u' ? 1 : op.size();
}

// ---- phase 1 ------------------------------------------------------------------

// Reads an infix expression into a checked token list.
class InfixReader {
  public:
    // The expression is decoded once and read by position: copying the rest
    // at every token would make a long expression quadratic.
    InfixReader(TQxBaseReport& report, const std::string& expr, bool dotAsColon)
        : report_(report), expr_(expr), u_(Utf8ToUtf32(expr)), dotAsColon_(dotAsColon) {
        while (!u_.empty() && u_.back() <= U' ') u_.pop_back();
    }

    TQxExpression Read() {
        ReadFirst();
        while (SkipBlanks()) {
            const char32_t c = u_[pos_];
            if (c < 0x80 && std::string_view("!%&()*+-/:<=>|").find(static_cast<char>(c)) !=
                                std::string_view::npos)
                ReadOperator();
            else
                ReadOperand();
        }
        if (brackets_ > 0) Fail(" \")\" expected");
        if (!last_.IsOperand && last_.Text != ")")
            throw EIllegalFunctionUse("Unexpected end of expression: " + expr_);
        return std::move(infix_);
    }

  private:
    [[noreturn]] void Fail(const std::string& tail) const {
        throw EIllegalFunctionUse("Cannot process an expression: " + expr_ + tail);
    }

    // Skips blanks and control characters; false at the end.
    bool SkipBlanks() {
        while (pos_ < u_.size() && u_[pos_] <= U' ') ++pos_;
        return pos_ < u_.size();
    }

    Token OperandHere() const {
        return ReadOperandToken(report_, U32View(u_).substr(pos_), dotAsColon_);
    }

    std::string OperatorHere(bool unary) const {
        std::string head;  // operators are ASCII and at most two characters
        for (std::size_t i = pos_; i < u_.size() && i < pos_ + 2 && u_[i] < 0x80; ++i)
            head += static_cast<char>(u_[i]);
        return OperatorAt(head, unary);
    }

    void ReadFirst() {
        SkipBlanks();
        const Token t = OperandHere();
        if (t.code == CmKind::NotAField) Fail("");
        if (t.code != CmKind::Expression) {
            AddOperand(Utf32ToUtf8(t.text), t.code);
            pos_ += t.length;
            return;
        }
        const std::string op = OperatorHere(true);
        if (!OneOf(op, {"u+", "u-", "!", "("})) Fail("");
        AddOperator(op);
        pos_ += OperatorLength(op);
    }

    void ReadOperator() {
        const std::string op = OperatorHere(unary_);
        if (op.empty()) Fail(" error after " + consumed_);
        AddOperator(op);
        pos_ += OperatorLength(op);
    }

    void ReadOperand() {
        const Token t = OperandHere();
        if (t.code == CmKind::NotAField) Fail(" error after " + consumed_);
        AddOperand(Utf32ToUtf8(t.text), t.code);
        pos_ += t.length;
    }

    void AddOperand(const std::string& token, std::int32_t code) {
        if (count_ > 0 && (last_.IsOperand || last_.Text == ")"))
            Fail(" error after " + consumed_ + " operation expected");
        Append(TQxOperand{token, true, 0, false, false, false, 0, code});
        consumed_ += token;
    }

    void AddOperator(const std::string& op) {
        if (count_ > 0) {
            const bool allowed =
                last_.IsOperand ? !OneOf(op, {"!", "("}) : OperatorMayFollow(last_.Text, op);
            if (!allowed) Fail(" error after " + consumed_ + " \"" + op + "\" not expected");
        }
        if (op == "(") ++brackets_;
        if (op == ")" && --brackets_ < 0)
            Fail(" - number of \")\" is more than number of \"(\" brackets");
        Append(MakeOperator(op));
    }

    void Append(const TQxOperand& t) {
        infix_.Add(t);
        last_ = t;
        ++count_;
        unary_ = UnaryAfter(t);
    }

    TQxBaseReport& report_;
    const std::string& expr_;
    U32 u_;
    std::size_t pos_ = 0;
    bool dotAsColon_;
    TQxExpression infix_;
    TQxOperand last_;
    std::int32_t count_ = 0;
    std::int32_t brackets_ = 0;
    bool unary_ = true;
    std::string consumed_;
};

// ---- phases 2 and 3 -----------------------------------------------------------

TQxExpression ToPostfix(const TQxExpression& infix) {
    TQxExpression postfix;
    TQxOperationStack stack;
    auto topIs = [&stack](std::string_view text) {
        return stack.Count() > 0 && stack.GetOperation(stack.Count() - 1).Text == text;
    };
    for (std::int32_t i = 0; i < infix.Count(); ++i) {
        const TQxOperand t = infix.GetOperand(i);
        if (t.IsOperand) {
            postfix.Add(t);
        } else if (t.Text == ")" && topIs("(")) {
            stack.Pop();
        } else if (t.Priority == 0 || IsPrefix(t.Text) || stack.Count() == 0 ||
                   stack.GetOperation(stack.Count() - 1).Priority < t.Priority) {
            stack.Push(t);
        } else {
            while (stack.Count() > 0 &&
                   stack.GetOperation(stack.Count() - 1).Priority >= t.Priority)
                postfix.Add(stack.Pop());
            if (t.Text == ")") {
                if (topIs("(")) stack.Pop();
            } else {
                stack.Push(t);
            }
        }
    }
    while (stack.Count() > 0) postfix.Add(stack.Pop());
    return postfix;
}

TQxCallTree ToCallTree(const TQxExpression& postfix, const std::string& expr) {
    const TQxOperand last = postfix.GetOperand(postfix.Count() - 1);
    if (last.IsOperand)
        throw EIllegalFunctionUse("Operation or function name missed in expression: " + expr +
                                  ", operand: " + last.Text);
    TQxCallTree tree;
    std::vector<std::size_t> pending;  // nodes not yet an argument
    for (std::int32_t i = 0; i < postfix.Count(); ++i) {
        const TQxOperand t = postfix.GetOperand(i);
        if (t.IsOperand) {
            tree.nodes.push_back({t.Text, false, {}});
            pending.push_back(tree.nodes.size() - 1);
            continue;
        }
        if (pending.size() < static_cast<std::size_t>(t.ArgsNeed))
            throw Exception("Operator " + t.Text + " is missing an operand in " + expr);
        TQxCallTree::TNode call{std::string(OperatorFunctionName(t.Text)), true, {}};
        for (std::int32_t k = 0; k < t.ArgsNeed; ++k) {
            call.args.push_back(pending.back());
            pending.pop_back();
        }
        tree.nodes.push_back(std::move(call));
        pending.push_back(tree.nodes.size() - 1);
    }
    tree.root = pending.back();
    return tree;
}

}  // namespace

// ---- one token at a time, for the compile pass and tools -------------------------

bool TQxBaseReport::GetNextExprOperation(std::string& s, std::string& operation, std::string& rest,
                                         bool unary) {
    s = Trim(s);
    operation = OperatorAt(s, unary);
    rest = s;
    if (operation.empty()) return false;
    rest = s.substr(OperatorLength(operation));
    return true;
}

std::int32_t TQxBaseReport::GetNextExprField(std::string& s, std::string& token, std::string& rest,
                                             bool dotAsColon) {
    s = Trim(s);
    const U32 u = Utf8ToUtf32(s);
    const Token t = ReadOperandToken(*this, u, dotAsColon);
    token = Utf32ToUtf8(t.text);
    rest = t.length == 0 ? s : Utf32ToUtf8(std::u32string_view(u).substr(t.length));
    return t.code;
}

// ---- the conversion ---------------------------------------------------------------

std::string TQxCallTree::Text(std::size_t node) const {
    // Depth first without recursion: a chain of 100,000 operators nests
    // 100,000 calls.
    std::string out;
    std::vector<std::pair<std::size_t, std::size_t>> open;  // calls and arguments written
    const auto enter = [&](std::size_t id) {
        out += nodes[id].text;
        if (!nodes[id].call) return;
        out += '(';
        open.emplace_back(id, 0);
    };
    enter(node);
    while (!open.empty()) {
        const std::size_t id = open.back().first;
        const std::size_t next = open.back().second++;
        if (next == nodes[id].args.size()) {
            out += ')';
            open.pop_back();
            continue;
        }
        if (next > 0) out += ',';
        enter(nodes[id].args[next]);
    }
    return out;
}

TQxCallTree TQxBaseReport::ExpressionCallTree(std::string& expr, bool dotAsColon) {
    expr = Trim(expr);
    const TQxExpression infix = InfixReader(*this, expr, dotAsColon).Read();
    return ToCallTree(ToPostfix(infix), expr);
}

std::string TQxBaseReport::ConvertExpression(std::string& expr, bool dotAsColon) {
    const TQxCallTree tree = ExpressionCallTree(expr, dotAsColon);
    return tree.Text(tree.root);
}

}  // namespace qx
