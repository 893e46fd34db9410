#include "writing/gas_syntax.h"

#include <algorithm>
#include <array>

#include "driver/console.h"
#include "reading/text_scan.h"

namespace {

// `mark` and then `text`. (Built by appending: GCC 12 at -O3 misreads a prepended copy as
// overlapping.)
std::string prefixed(char mark, std::string_view text) {
    std::string result;
    result.reserve(text.size() + 1);
    result.push_back(mark);
    result.append(text);
    return result;
}

// Register names of the H8 family that GNU as reads as registers wherever a name may stand.
bool is_register_name(std::string_view name) {
    if (name.size() < 2 || name.size() > 4) return false;
    switch (name[0]) {  // the names of each first letter
        case 'S': return name == "SP" || name == "SBR";
        case 'F': return name == "FP";
        case 'P': return name == "PC";
        case 'C': return name == "CCR";
        case 'M': return name == "MACH" || name == "MACL";
        case 'V': return name == "VBR";
        case 'E':
            if (name == "EXR") return true;
            if (name.starts_with("ER")) return name.size() == 3 && name[2] >= '0' && name[2] <= '7';
            return name.size() == 2 && name[1] >= '0' && name[1] <= '7';
        case 'R':
            if (name[1] < '0' || name[1] > '7') return false;
            return name.size() == 2 || (name.size() == 3 && (name[2] == 'H' || name[2] == 'L'));
        default: return false;
    }
}

// Appends 0x and the value in upper-case hexadecimal digits, without leading zeros.
void append_hex_number(std::string& out, std::uint16_t value) {
    out += "0x";
    int shift = 12;
    while (shift > 0 && (value >> shift) == 0) shift -= 4;
    for (; shift >= 0; shift -= 4) out.push_back("0123456789ABCDEF"[(value >> shift) & 0xF]);
}

std::string hex_number(std::uint16_t value) {
    std::string text;
    append_hex_number(text, value);
    return text;
}

// One rendered part of an expression and the HD64180 level of its outermost binary operator
// (0: a primary, or a part already in parentheses; 9: needs parentheses under any operator).
struct Rendered {
    std::string text;
    int level = 0;
};

// A parser over the pieces of one expression, writing it for GNU as as it goes.
class ExpressionWriter {
public:
    ExpressionWriter(const std::vector<Piece>& pieces, std::size_t begin, std::size_t end, bool byte_wide)
        : pieces_(pieces), at_(begin), end_(end), byte_wide_(byte_wide) {}

    // The whole expression, or nothing when its pieces do not form one.
    bool write(std::string& out) {
        Rendered result;
        if (!binary(4, result) || at_ != end_) return false;
        out += result.text;
        return true;
    }

private:
    static int level_of(std::string_view op) {
        if (op == "*" || op == "/" || op == "%") return 1;
        if (op == "+" || op == "-") return 2;
        if (op == "&") return 3;
        return 4;  // | and exclusive or
    }

    static std::string wrapped(const Rendered& part) { return part.level == 0 ? part.text : "(" + part.text + ")"; }

    const Piece* peek() const { return at_ < end_ ? &pieces_[at_] : nullptr; }

    bool binary(int level, Rendered& out) {
        if (level == 0) return unary(out);
        if (!binary(level - 1, out)) return false;
        while (const Piece* piece = peek()) {
            if (piece->kind != PieceKind::binary || level_of(piece->text) != level) break;
            ++at_;
            Rendered right;
            if (!binary(level - 1, right)) return false;
            // Operators of one level group from the left in both assemblers.
            std::string left = out.level == level ? out.text : wrapped(out);
            const std::string op = piece->text == "~" ? "^" : piece->text;
            out = {left + op + wrapped(right), level};
        }
        return true;
    }

    bool unary(Rendered& out) {
        const Piece* piece = peek();
        if (piece == nullptr) return false;
        if (piece->kind != PieceKind::unary && piece->kind != PieceKind::high && piece->kind != PieceKind::low) {
            return primary(out);
        }
        ++at_;
        Rendered operand;
        if (!unary(operand)) return false;
        const std::string inner = wrapped(operand);
        const char* mask = byte_wide_ ? "0xFF" : "0xFFFF";
        // A part of level 0 that starts with '(' is in parentheses as a whole already.
        const std::string group =
            operand.level == 0 && operand.text.starts_with('(') ? operand.text : "(" + operand.text + ")";
        if (piece->kind == PieceKind::high) {
            out = {"(" + group + ">>8)&0xFF", 9};
        } else if (piece->kind == PieceKind::low) {
            out = {group + "&0xFF", 9};
        } else if (piece->text == "~") {
            // GNU as complements all 32 bits: keep the operand's width.
            out = {"((~" + inner + ")&" + mask + ")", 0};
        } else {
            out = {piece->text + inner, 0};
        }
        return true;
    }

    bool primary(Rendered& out) {
        const Piece& piece = pieces_[at_++];
        switch (piece.kind) {
            case PieceKind::number: out = {hex_number(piece.value), 0}; return true;
            case PieceKind::name: out = {gas_symbol(piece.text), 0}; return true;
            case PieceKind::parameter: out = {prefixed('\\', upper_case(piece.text)), 0}; return true;
            case PieceKind::location: out = {".", 0}; return true;
            case PieceKind::open: {
                Rendered inner;
                if (!binary(4, inner)) return false;
                const Piece* close = peek();
                if (close == nullptr || close->kind != PieceKind::close) return false;
                ++at_;
                out = {"(" + inner.text + ")", 0};
                return true;
            }
            default: return false;
        }
    }

    const std::vector<Piece>& pieces_;
    std::size_t at_;
    std::size_t end_;
    bool byte_wide_;
};

// Appends `text` in upper case.
void append_upper(std::string& out, std::string_view text) {
    for (char ch : text) out.push_back(to_upper(ch));
}

// Appends a piece as it stands, where the pieces around it do not form an expression.
void append_piece_text(std::string& out, const Piece& piece) {
    switch (piece.kind) {
        case PieceKind::number: append_hex_number(out, piece.value); return;
        case PieceKind::name: append_gas_symbol(out, piece.text); return;
        case PieceKind::parameter:
            out.push_back('\\');
            append_upper(out, piece.text);
            return;
        case PieceKind::parameter_name: append_upper(out, piece.text); return;
        case PieceKind::location: out.push_back('.'); return;
        case PieceKind::binary: out += piece.text == "~" ? std::string_view("^") : std::string_view(piece.text); return;
        case PieceKind::high:
        case PieceKind::low:
            append_upper(out, piece.text);
            out.push_back(' ');
            return;
        default: out += piece.text; return;
    }
}

std::string quoted_string(std::string_view characters) {
    std::string out = "\"";
    for (char ch : characters) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out.push_back('\\');
            out.push_back(ch);
        } else if (byte < 0x20 || byte >= 0x7F) {
            out += format_text("\\%03o", byte);
        } else {
            out.push_back(ch);
        }
    }
    out.push_back('"');
    return out;
}

bool is_expression_piece(PieceKind kind) {
    return kind != PieceKind::text && kind != PieceKind::string && kind != PieceKind::parameter_name;
}

}  // namespace

void append_gas_symbol(std::string& out, std::string_view name) {
    const std::size_t start = out.size();
    out += name;
    char* const symbol = out.data() + start;
    std::size_t dot = name.size();  // where the first apostrophe (now a '.') was
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char ch = to_upper(symbol[i]);
        if (ch == '\'') {
            symbol[i] = '.';
            dot = std::min(dot, i);
        } else {
            symbol[i] = ch;
        }
    }
    const std::string_view written(symbol, name.size());
    // GNU as for COFF takes a name that starts with L for a local label: it leaves it out of the
    // symbol table, and an external one silently becomes 0. One that starts with a digit would be
    // a numbered local label.
    if (written.starts_with('L') || (!written.empty() && is_digit(written.front())) ||
        is_register_name(written.substr(0, dot))) {
        out.insert(start, 1, '.');
    }
}

std::string gas_symbol(std::string_view name) {
    std::string symbol;
    append_gas_symbol(symbol, name);
    return symbol;
}

void append_gas_operand(std::string& out, const OperandPieces& operand, std::string_view fallback) {
    const std::vector<Piece>& pieces = operand.pieces;
    if (pieces.empty()) {
        out += fallback;
        return;
    }
    // Most operands are one piece (a register, a number, a name), which is written as it stands.
    if (pieces.size() == 1 && pieces[0].kind != PieceKind::string) {
        append_piece_text(out, pieces[0]);
        return;
    }
    const std::size_t base = out.size();
    std::size_t i = 0;
    while (i < pieces.size()) {
        const Piece& piece = pieces[i];
        if (!is_expression_piece(piece.kind)) {
            if (piece.kind == PieceKind::string) {
                out += quoted_string(piece.text);
            } else {
                append_piece_text(out, piece);
            }
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < pieces.size() && is_expression_piece(pieces[end].kind)) ++end;
        const std::size_t start = out.size();
        // One piece is an expression only as a primary, which is written as it stands.
        if (end == i + 1 || !ExpressionWriter(pieces, i, end, operand.byte_wide).write(out)) {
            out.resize(start);
            for (std::size_t k = i; k < end; ++k) append_piece_text(out, pieces[k]);
        }
        // @( starts a register-relative operand in GNU as: an address in parentheses is 0+(...).
        if (start > base && out[start - 1] == '@' && out.size() > start && out[start] == '(') out.insert(start, "0+");
        i = end;
    }
}

std::string gas_operand(const OperandPieces& operand, std::string_view fallback) {
    std::string out;
    append_gas_operand(out, operand, fallback);
    return out;
}

std::string gas_passthrough_text(std::string_view text) {
    // H'7F holds an apostrophe, so the comment starts at the first ';' whatever stands before it.
    const std::size_t comment = text.find(';');
    auto is_hex_digit = [](char ch) { return is_digit(ch) || (to_upper(ch) >= 'A' && to_upper(ch) <= 'F'); };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool starts_number = i < comment && i + 2 < text.size() && (text[i] == 'H' || text[i] == 'h') &&
                                   text[i + 1] == '\'' && is_hex_digit(text[i + 2]) &&
                                   (i == 0 || !is_name_char(text[i - 1]));
        if (starts_number) {
            out += "0x";
            ++i;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string_view opposite_branch(std::string_view mnemonic) {
    constexpr std::array<std::array<std::string_view, 2>, 6> pairs{{
        {"BEQ", "BNE"},
        {"BNE", "BEQ"},
        {"BCC", "BCS"},
        {"BCS", "BCC"},
        {"BHI", "BLS"},
        {"BLS", "BHI"},
    }};
    for (const auto& pair : pairs) {
        if (pair[0] == mnemonic) return pair[1];
    }
    return {};
}
