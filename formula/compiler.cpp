#include "formula/compiler.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace formula {

const unsigned char kPalette[7][3] = {{255, 255, 255}, {217, 128, 36}, {181, 91, 173},
                                      {29, 182, 36},   {26, 152, 252}, {182, 173, 78},
                                      {173, 216, 230}};

uint32_t paletteColor(int index) {
    const unsigned char* c = kPalette[((index % 7) + 7) % 7];
    return uint32_t(c[2]) << 24 | uint32_t(c[1]) << 16 | uint32_t(c[0]) << 8 | 0xFFu;
}

bool Program::push(int ctx) const {
    for (const ProgramToken& t : tokens) {
        fml_token tok{0, 0, nullptr};
        switch (t.code) {
            case FML_TOKEN_NUMBER:
                tok.a = t.bits;
                break;
            case FML_TOKEN_ATTRIBUTE:
                tok.a = t.bits;
                tok.b = reinterpret_cast<uintptr_t>(t.b.c_str());
                tok.style = &t.style;
                break;
            case FML_TOKEN_END:
                break;
            default:
                tok.a = reinterpret_cast<uintptr_t>(t.a.c_str());
                break;
        }
        if (fml_ctx_op_code_push(ctx, t.code, &tok) != 1) {
            return false;
        }
    }
    return true;
}

std::string CompileError::text() const {
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message;
}

namespace {

constexpr int kMaxDepth = 200;

enum class Tok {
    End,
    Ident,
    Number,
    String,
    LParen,
    RParen,
    Comma,
    Semicolon,
    Colon,
    Assign,
    Plus,
    Minus,
    Star,
    Slash,
    Compare
};

struct Lexeme {
    Tok type = Tok::End;
    std::string text;
    double number = 0;
    int line = 1, column = 1;
};

struct Failure {
    CompileError error;
};

bool identStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool identPart(unsigned char c) {
    return identStart(c) || (c >= '0' && c <= '9');
}

std::string upper(const std::string& s) {
    std::string r = s;
    for (char& ch : r) {
        if (ch >= 'a' && ch <= 'z') {
            ch = char(ch - 'a' + 'A');
        }
    }
    return r;
}

class Lexer {
public:
    explicit Lexer(const std::string& text) : s_(text) {}

    Lexeme next() {
        skipSpace();
        Lexeme t;
        t.line = line_;
        t.column = column_;
        if (pos_ >= s_.size()) {
            return t;
        }
        unsigned char c = static_cast<unsigned char>(s_[pos_]);
        if (identStart(c)) {
            size_t start = pos_;
            while (pos_ < s_.size() && identPart(static_cast<unsigned char>(s_[pos_]))) {
                advance();
            }
            t.type = Tok::Ident;
            t.text = s_.substr(start, pos_ - start);
            return t;
        }
        if ((c >= '0' && c <= '9') || (c == '.' && pos_ + 1 < s_.size() && isDigit(s_[pos_ + 1]))) {
            return number(t);
        }
        if (c == '\'' || c == '"') {
            char quote = char(c);
            advance();
            size_t start = pos_;
            while (pos_ < s_.size() && s_[pos_] != quote) {
                if (s_[pos_] == '\n') {
                    throw fail(t, "text literal is not closed on its line");
                }
                advance();
            }
            if (pos_ >= s_.size()) {
                throw fail(t, "text literal is not closed");
            }
            t.type = Tok::String;
            t.text = s_.substr(start, pos_ - start);
            advance();
            return t;
        }
        advance();
        switch (c) {
            case '(':
                t.type = Tok::LParen;
                break;
            case ')':
                t.type = Tok::RParen;
                break;
            case ',':
                t.type = Tok::Comma;
                break;
            case ';':
                t.type = Tok::Semicolon;
                break;
            case '+':
                t.type = Tok::Plus;
                break;
            case '-':
                t.type = Tok::Minus;
                break;
            case '*':
                t.type = Tok::Star;
                break;
            case '/':
                t.type = Tok::Slash;
                break;
            case ':':
                if (peek('=')) {
                    advance();
                    t.type = Tok::Assign;
                } else {
                    t.type = Tok::Colon;
                }
                break;
            case '=':
                t.type = Tok::Compare;
                t.text = "=";
                break;
            case '<':
                t.type = Tok::Compare;
                if (peek('=')) {
                    advance();
                    t.text = "<=";
                } else if (peek('>')) {
                    advance();
                    t.text = "<>";
                } else {
                    t.text = "<";
                }
                break;
            case '>':
                t.type = Tok::Compare;
                if (peek('=')) {
                    advance();
                    t.text = ">=";
                } else {
                    t.text = ">";
                }
                break;
            case '!':
                if (!peek('=')) {
                    throw fail(t, "'!' must be followed by '='");
                }
                advance();
                t.type = Tok::Compare;
                t.text = "!=";
                break;
            default:
                throw fail(t, std::string("unexpected character '") + char(c) + "'");
        }
        return t;
    }

    static Failure fail(const Lexeme& at, const std::string& message) {
        Failure f;
        f.error.line = at.line;
        f.error.column = at.column;
        f.error.message = message;
        return f;
    }

private:
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static bool isHex(char c) {
        return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }
    bool peek(char c) const { return pos_ < s_.size() && s_[pos_] == c; }

    void advance() {
        unsigned char c = static_cast<unsigned char>(s_[pos_]);
        ++pos_;
        if (c == '\n') {
            ++line_;
            column_ = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column_;  // columns count characters, not the bytes of a UTF-8 sequence
        }
        // Continuation bytes belong to the character already counted.
        while (pos_ < s_.size() && (static_cast<unsigned char>(s_[pos_]) & 0xC0) == 0x80 &&
               (c & 0x80)) {
            ++pos_;
        }
    }

    void skipSpace() {
        for (;;) {
            while (pos_ < s_.size() &&
                   (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r' || s_[pos_] == '\n')) {
                advance();
            }
            if (pos_ + 1 < s_.size() && s_[pos_] == '/' && s_[pos_ + 1] == '/') {
                while (pos_ < s_.size() && s_[pos_] != '\n') {
                    advance();
                }
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == '{') {
                Lexeme at;
                at.line = line_;
                at.column = column_;
                while (pos_ < s_.size() && s_[pos_] != '}') {
                    advance();
                }
                if (pos_ >= s_.size()) {
                    throw fail(at, "comment is not closed");
                }
                advance();
                continue;
            }
            return;
        }
    }

    Lexeme number(Lexeme t) {
        size_t start = pos_;
        t.type = Tok::Number;
        if (s_[pos_] == '0' && pos_ + 1 < s_.size() &&
            (s_[pos_ + 1] == 'x' || s_[pos_ + 1] == 'X')) {
            advance();
            advance();
            size_t digits = pos_;
            while (pos_ < s_.size() && isHex(s_[pos_])) {
                advance();
            }
            if (pos_ == digits || pos_ - digits > 8) {
                throw fail(t, "a hexadecimal number takes one to eight digits");
            }
            t.number = double(std::strtoul(s_.substr(digits, pos_ - digits).c_str(), nullptr, 16));
            t.text = s_.substr(start, pos_ - start);
            return t;
        }
        while (pos_ < s_.size() && isDigit(s_[pos_])) {
            advance();
        }
        if (peek('.')) {
            advance();
            while (pos_ < s_.size() && isDigit(s_[pos_])) {
                advance();
            }
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            size_t save = pos_;
            int saveCol = column_;
            advance();
            if (peek('+') || peek('-')) {
                advance();
            }
            if (pos_ < s_.size() && isDigit(s_[pos_])) {
                while (pos_ < s_.size() && isDigit(s_[pos_])) {
                    advance();
                }
            } else {
                pos_ = save;
                column_ = saveCol;
            }
        }
        t.text = s_.substr(start, pos_ - start);
        t.number = std::strtod(t.text.c_str(), nullptr);
        if (pos_ < s_.size() && identStart(static_cast<unsigned char>(s_[pos_]))) {
            throw fail(t, "a number runs into a name");
        }
        return t;
    }

    const std::string& s_;
    size_t pos_ = 0;
    int line_ = 1, column_ = 1;
};

struct Node {
    enum Kind { Number, Text, Ident, Call, Binary, Negate } kind;
    std::string text;  // identifier, function name as written, operator as written
    float number = 0;
    std::vector<std::unique_ptr<Node>> args;
    int line = 0, column = 0;
};
using NodePtr = std::unique_ptr<Node>;

Failure nodeFailure(const Node& n, const std::string& message) {
    Failure f;
    f.error.line = n.line;
    f.error.column = n.column;
    f.error.message = message;
    return f;
}

Failure arityFailure(const Node& n, int arity) {
    return nodeFailure(n, n.text + " takes " + std::to_string(arity) + " argument" +
                              (arity == 1 ? "" : "s") + ", " + std::to_string(n.args.size()) +
                              " given");
}

int drawKind(const std::string& name) {
    static const std::map<std::string, int> kinds = {{"LINE", FML_DRAW_LINE},
                                                     {"STICK", FML_DRAW_STICK},
                                                     {"NUMBER", FML_DRAW_NUMBER},
                                                     {"STRING", FML_DRAW_STRING},
                                                     {"BAND", FML_DRAW_BAND},
                                                     {"ICON", FML_DRAW_ICON},
                                                     {"FIX_NUMBER", FML_DRAW_FIX_NUMBER},
                                                     {"FIX_STRING", FML_DRAW_FIX_STRING},
                                                     {"RECT", FML_DRAW_RECT},
                                                     {"K_LINE", FML_DRAW_K_LINE}};
    auto it = kinds.find(upper(name));
    return it == kinds.end() ? -1 : it->second;
}

class Parser {
public:
    Parser(const std::string& text, const std::map<std::string, int>& natives)
        : lex_(text), natives_(natives) {
        cur_ = lex_.next();
        next_ = lex_.next();
    }

    void program(Program& out) {
        while (cur_.type != Tok::End) {
            if (cur_.type == Tok::Semicolon) {
                shift();
                continue;
            }
            statement(out);
            if (cur_.type == Tok::Semicolon) {
                shift();
            } else if (cur_.type != Tok::End) {
                throw Lexer::fail(cur_, "expected ';' after the statement");
            }
        }
    }

private:
    void shift() {
        cur_ = next_;
        if (cur_.type != Tok::End) {
            next_ = lex_.next();
        }
    }

    bool isKeyword(const Lexeme& t, const char* word) const {
        return t.type == Tok::Ident && upper(t.text) == word;
    }

    void statement(Program& out) {
        std::string name;
        bool variable = false, named = false;
        Lexeme start = cur_;
        if (cur_.type == Tok::Ident && (next_.type == Tok::Colon || next_.type == Tok::Assign)) {
            name = cur_.text;
            variable = next_.type == Tok::Assign;
            named = true;
            shift();
            shift();
        }
        depth_ = 0;
        NodePtr e = expression();
        int kind = -1;
        if (e->kind == Node::Call) {
            kind = drawKind(e->text);
        }
        // Attributes.
        Style style{0, 1.0f, 0};
        bool colour = false, palette = false;
        while (cur_.type == Tok::Comma) {
            shift();
            attribute(style, colour, palette);
        }
        if (variable && (colour || palette || style.width != 1.0f || style.style != 0)) {
            throw Lexer::fail(start, "the variable " + name + " takes no drawing attributes");
        }
        if (kind >= 0) {
            int arity = fml_draw_arity(kind);
            if (int(e->args.size()) != arity) {
                throw arityFailure(*e, arity);
            }
            for (const NodePtr& a : e->args) {
                emit(*a, out);
            }
        } else {
            emit(*e, out);
        }
        ProgramToken nameTok;
        nameTok.code = FML_TOKEN_NAME;
        nameTok.a = name;
        out.tokens.push_back(nameTok);
        if (!variable || kind >= 0) {
            ProgramToken attr;
            attr.code = FML_TOKEN_ATTRIBUTE;
            attr.bits = uint32_t(kind >= 0 ? kind : FML_DRAW_CURVE);
            attr.b = name;
            if (!colour) {
                bool takesPalette = palette || kind < 0 || named;
                style.color = takesPalette ? paletteColor(palette_++) : 0u;
            }
            attr.style = style;
            out.tokens.push_back(attr);
        }
        ProgramToken end;
        end.code = FML_TOKEN_END;
        out.tokens.push_back(end);
    }

    float signedNumber(const char* what) {
        bool negative = false;
        if (cur_.type == Tok::Minus) {
            negative = true;
            shift();
        }
        if (cur_.type != Tok::Number) {
            throw Lexer::fail(cur_, std::string(what) + " needs a number");
        }
        double v = cur_.number;
        shift();
        return float(negative ? -v : v);
    }

    void attribute(Style& style, bool& colour, bool& palette) {
        if (cur_.type != Tok::Ident) {
            throw Lexer::fail(cur_, "expected a drawing attribute");
        }
        Lexeme at = cur_;
        std::string word = upper(cur_.text);
        shift();
        auto argument = [&](const char* what) {
            if (cur_.type != Tok::LParen) {
                throw Lexer::fail(cur_, std::string(what) + " needs its value in parentheses");
            }
            shift();
            float v = signedNumber(what);
            if (cur_.type != Tok::RParen) {
                throw Lexer::fail(cur_, "expected ')'");
            }
            shift();
            return v;
        };
        if (word == "COLOR") {
            Lexeme num = cur_;
            if (cur_.type != Tok::LParen) {
                throw Lexer::fail(cur_, "COLOR needs its value in parentheses");
            }
            shift();
            if (cur_.type != Tok::Number || cur_.number < 0 || cur_.number > 4294967295.0) {
                throw Lexer::fail(num, "COLOR needs a 32-bit number");
            }
            style.color = uint32_t(cur_.number);
            shift();
            if (cur_.type != Tok::RParen) {
                throw Lexer::fail(cur_, "expected ')'");
            }
            shift();
            colour = true;
        } else if (word.size() == 11 && word.compare(0, 5, "COLOR") == 0 &&
                   word.find_first_not_of("0123456789ABCDEF", 5) == std::string::npos) {
            style.color = uint32_t(std::strtoul(word.c_str() + 5, nullptr, 16));
            colour = true;
        } else if (word == "PALETTE") {
            palette = true;
        } else if (word == "LINETHICK") {
            style.width = argument("LINETHICK");
        } else if (word.compare(0, 9, "LINETHICK") == 0 && word.size() > 9 &&
                   word.find_first_not_of("0123456789", 9) == std::string::npos) {
            style.width = float(std::strtod(word.c_str() + 9, nullptr));
        } else if (word == "STYLE") {
            float v = argument("STYLE");
            if (!(v >= -1000.0f && v <= 1000.0f)) {
                throw Lexer::fail(at, "STYLE takes a line style between -1000 and 1000");
            }
            style.style = int32_t(v);
        } else {
            throw Lexer::fail(at, "unknown drawing attribute " + at.text);
        }
    }

    NodePtr make(Node::Kind kind, const Lexeme& at) {
        NodePtr n(new Node{kind, at.text, 0, {}, at.line, at.column});
        return n;
    }

    NodePtr expression() {
        if (++depth_ > kMaxDepth) {
            throw Lexer::fail(cur_, "expression nested too deeply");
        }
        NodePtr e = orExpr();
        --depth_;
        return e;
    }

    NodePtr binary(NodePtr l, const Lexeme& op, NodePtr r) {
        NodePtr n = make(Node::Binary, op);
        n->args.push_back(std::move(l));
        n->args.push_back(std::move(r));
        return n;
    }

    NodePtr orExpr() {
        NodePtr l = andExpr();
        while (isKeyword(cur_, "OR")) {
            Lexeme op = cur_;
            shift();
            l = binary(std::move(l), op, andExpr());
        }
        return l;
    }
    NodePtr andExpr() {
        NodePtr l = compare();
        while (isKeyword(cur_, "AND")) {
            Lexeme op = cur_;
            shift();
            l = binary(std::move(l), op, compare());
        }
        return l;
    }
    NodePtr compare() {
        NodePtr l = additive();
        while (cur_.type == Tok::Compare) {
            Lexeme op = cur_;
            shift();
            l = binary(std::move(l), op, additive());
        }
        return l;
    }
    NodePtr additive() {
        NodePtr l = term();
        while (cur_.type == Tok::Plus || cur_.type == Tok::Minus) {
            Lexeme op = cur_;
            op.text = cur_.type == Tok::Plus ? "+" : "-";
            shift();
            l = binary(std::move(l), op, term());
        }
        return l;
    }
    NodePtr term() {
        NodePtr l = unary();
        while (cur_.type == Tok::Star || cur_.type == Tok::Slash) {
            Lexeme op = cur_;
            op.text = cur_.type == Tok::Star ? "*" : "/";
            shift();
            l = binary(std::move(l), op, unary());
        }
        return l;
    }
    NodePtr unary() {
        if (++depth_ > kMaxDepth) {
            throw Lexer::fail(cur_, "expression nested too deeply");
        }
        NodePtr r;
        if (cur_.type == Tok::Minus) {
            Lexeme at = cur_;
            shift();
            if (cur_.type == Tok::Number) {
                r = make(Node::Number, cur_);
                r->number = float(-cur_.number);
                shift();
            } else {
                r = make(Node::Negate, at);
                r->text = "negate";
                r->args.push_back(unary());
            }
        } else if (cur_.type == Tok::Plus) {
            shift();
            r = unary();
        } else {
            r = primary();
        }
        --depth_;
        return r;
    }
    NodePtr primary() {
        Lexeme t = cur_;
        switch (t.type) {
            case Tok::Number: {
                shift();
                NodePtr n = make(Node::Number, t);
                n->number = float(t.number);
                return n;
            }
            case Tok::String:
                shift();
                return make(Node::Text, t);
            case Tok::LParen: {
                shift();
                NodePtr e = expression();
                if (cur_.type != Tok::RParen) {
                    throw Lexer::fail(cur_, "expected ')'");
                }
                shift();
                return e;
            }
            case Tok::Ident: {
                if (isKeyword(t, "AND") || isKeyword(t, "OR")) {
                    throw Lexer::fail(t, "operator " + t.text + " needs a left operand");
                }
                shift();
                if (cur_.type != Tok::LParen) {
                    return make(Node::Ident, t);
                }
                shift();
                NodePtr call = make(Node::Call, t);
                if (cur_.type != Tok::RParen) {
                    for (;;) {
                        call->args.push_back(expression());
                        if (cur_.type == Tok::Comma) {
                            shift();
                            continue;
                        }
                        break;
                    }
                }
                if (cur_.type != Tok::RParen) {
                    throw Lexer::fail(cur_, "expected ',' or ')' in the arguments of " + t.text);
                }
                shift();
                return call;
            }
            case Tok::End:
                throw Lexer::fail(t, "the formula ends inside an expression");
            default:
                throw Lexer::fail(t, "expected a value");
        }
    }

    void emit(const Node& n, Program& out) {
        ProgramToken t;
        switch (n.kind) {
            case Node::Number: {
                t.code = FML_TOKEN_NUMBER;
                std::memcpy(&t.bits, &n.number, sizeof t.bits);
                break;
            }
            case Node::Text:
                t.code = FML_TOKEN_STRING;
                t.a = n.text;
                break;
            case Node::Ident:
                t.code = FML_TOKEN_IDENT;
                t.a = n.text;
                break;
            case Node::Call: {
                if (drawKind(n.text) >= 0) {
                    throw nodeFailure(
                        n, "the drawing function " + n.text + " must stand alone as a statement");
                }
                std::string key = upper(n.text);
                auto nat = natives_.find(key);
                int arity = nat != natives_.end() ? nat->second : fml_function_arity(key.c_str());
                if (arity < 0) {
                    throw nodeFailure(n, "unknown function " + n.text);
                }
                if (int(n.args.size()) != arity) {
                    throw arityFailure(n, arity);
                }
                for (const NodePtr& a : n.args) {
                    emit(*a, out);
                }
                t.code = FML_TOKEN_CALL;
                t.a = n.text;
                break;
            }
            case Node::Binary:
            case Node::Negate:
                for (const NodePtr& a : n.args) {
                    emit(*a, out);
                }
                t.code = FML_TOKEN_CALL;
                t.a = n.text;
                break;
        }
        out.tokens.push_back(std::move(t));
    }

    Lexer lex_;
    const std::map<std::string, int>& natives_;
    Lexeme cur_, next_;
    int depth_ = 0;
    int palette_ = 0;
};

}  // namespace

Compiler::Compiler() {
    natives_["DYNAINFO"] = 1;
}

void Compiler::addNative(const std::string& name, int arity) {
    natives_[upper(name)] = arity;
}

bool Compiler::compile(const std::string& text, Program* out, CompileError* error) const {
    Program p;
    try {
        Parser parser(text, natives_);
        parser.program(p);
    } catch (const Failure& f) {
        if (error) {
            *error = f.error;
        }
        return false;
    }
    if (out) {
        *out = std::move(p);
    }
    return true;
}

}  // namespace formula
