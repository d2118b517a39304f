// Escaping of names written into gallery pages: as HTML text, as a URL and as a file name.
#include <cstdio>
#include <iterator>

#include "export/gallery.h"

namespace tw {

namespace {

// The HTML 4 names of ISO 8859-1 characters 160..255, in code order.
constexpr const char* kLatin1Entities[] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",
    "uml",    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",
    "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",  "para",   "middot",
    "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest",
    "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",
    "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",
    "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",
    "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};
static_assert(std::size(kLatin1Entities) == 96, "one name for each of 160..255");

bool IsAsciiLetterOrDigit(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"') out += "&quot;";
        else if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c >= 160) (out += '&') += std::string(kLatin1Entities[c - 160]) + ';';
        else if (c >= 123) {
            char number[8];
            std::snprintf(number, sizeof number, "&#%03d;", c);
            out += number;
        } else out += ch;
    }
    return out;
}

std::string UrlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsAsciiLetterOrDigit(c)) {
            out += ch;
            continue;
        }
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02x", c);
        out += hex;
    }
    return out;
}

std::string SanitiseImageName(std::string_view name) {
    std::string out(name);
    for (char& ch : out) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 32) c = ' ';
        else if (c >= 128) c = (c & 127) == 14 ? '_' : static_cast<unsigned char>((c & 127) + 32);
        // Folding can itself produce a separator, so this check comes last.
        if (c == '/' || c == ':' || c == '\\') c = '_';
        ch = static_cast<char>(c);
    }
    return out;
}

}  // namespace tw
