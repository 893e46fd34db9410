#include "reading/extended_keywords.h"

#include <array>

#include "reading/keywords.h"

namespace {

// clang-format off
constexpr std::array<Keyword, 25> ExtendedKeywordTable = {{
    {kw::DB, "DEFM"},                       // DEFM 'text' is DB 'text'
    {kw::DC, "DC"},                         // DB with bit 7 set in the last character
    {kw::IF, "IF"},     {kw::IF, "IFT"},    {kw::IFF, "IFF"},
    {kw::IFDEF, "IFDEF"},  {kw::IFNDEF, "IFNDEF"},
    {kw::IF1, "IF1"},   {kw::IF2, "IF2"},
    {kw::ELSE, "ELSE"},
    {kw::ENDIF, "ENDIF"},  {kw::ENDIF, "ENDC"},
    {kw::PHASE, "PHASE"},  {kw::DEPHASE, "DEPHASE"},
    {kw::REPT, "REPT"},  {kw::IRP, "IRP"},  {kw::IRPC, "IRPC"},
    {kw::COMMENT, "COMMENT"},
    {kw::PRINTX, "PRINTX"},
    // Processor and listing controls with nothing to translate: their lines are comments.
    {kw::ignored, "Z180"},  {kw::ignored, "8080"},  {kw::ignored, "SFCOND"},
    {kw::ignored, "LALL"},  {kw::ignored, "XALL"},  {kw::ignored, "IDENT"},
}};
// clang-format on

}  // namespace

std::optional<std::uint16_t> extended_keyword_lookup(std::string_view name) {
    name = name.substr(0, 16);
    for (const Keyword& keyword : ExtendedKeywordTable) {
        if (keyword.text == name) return keyword.code;
    }
    return std::nullopt;
}
