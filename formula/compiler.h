// The formula compiler: formula text with its drawing attributes in, the VM's postfix token
// stream out. Plain C++ (no Qt) so that it can be fuzzed on its own.
//
// Text form (one statement per ';'):
//   NAME:=expr                     a variable
//   NAME:expr [, attributes]       a displayed curve
//   expr [, attributes]            an unnamed displayed curve
//   DRAW(args) [, attributes]      a drawing statement (LINE, STICK, NUMBER, STRING, BAND, ICON,
//   NAME:DRAW(args) [, attributes] FIX_NUMBER, FIX_STRING, RECT, K_LINE); named: carries NAME
// Attributes: COLOR(0x00BBGGRR) or COLORBBGGRR (six hex digits) for a literal colour, COLOR of
// any 32-bit value is passed on unchanged (the QRgb values 0xFFRRGGBB included); PALETTE takes
// the next palette colour; LINETHICK(w) or LINETHICKn; STYLE(n) for the line style.
// Comments: { ... } and // to the end of the line. Identifiers may hold any UTF-8 letters.
// Precedence, low to high: OR, AND, comparisons (< > <= >= = <> !=), + -, * /, unary minus.
// A minus written directly before a number is part of the number; before anything else it is
// the "negate" function.
#ifndef VQ_FORMULA_COMPILER_H
#define VQ_FORMULA_COMPILER_H

#include "libformula/fml.h"

#include <map>
#include <string>
#include <vector>

namespace formula {

// The chart palette: curves without a written colour take these in order, packed as
// B<<24 | G<<16 | R<<8 | 0xFF; the cursor starts at the first entry for every program.
extern const unsigned char kPalette[7][3];
uint32_t paletteColor(int index);

struct ProgramToken {
    int code = 0;
    std::string a;      // names, identifiers, texts, function names
    uint32_t bits = 0;  // number bits (code 2) or draw kind (code 6)
    std::string b;      // output name (code 6)
    Style style{0, 1.0f, 0};
};

// A compiled program; pushing it into a context replays the tokens in order.
struct Program {
    std::vector<ProgramToken> tokens;
    bool push(int ctx) const;
};

struct CompileError {
    int line = 0;
    int column = 0;
    std::string message;
    std::string text() const;  // "line L, column C: message"
};

class Compiler {
public:
    Compiler();
    // Functions the VM gets from its host (native functions) with their arities; DYNAINFO (1)
    // is known by default.
    void addNative(const std::string& name, int arity);
    bool compile(const std::string& text, Program* out, CompileError* error) const;

private:
    std::map<std::string, int> natives_;
};

}  // namespace formula

#endif
