// Descriptor files in JSON: what `tarnwell apply --record` writes and `--replay` reads. One
// object per item with its key, the name the filter's terminology gives it, its type and
// value, so a recorded action can be read, edited and replayed.
#include "host/descriptor_json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "params/script_keys.h"
#include "platform/platform.h"

namespace tw::host {

namespace {

// Nested objects deeper than this are refused, so a hostile file cannot exhaust the stack.
constexpr int kMaxDepth = 32;

// A four-character code from its text ("0001"); the text must have four characters.
uint32_t CodeOf(const std::string& text) {
    uint32_t code = 0;
    for (size_t i = 0; i < 4; ++i) code = (code << 8) | uint8_t(i < text.size() ? text[i] : ' ');
    return code;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

const char* KindName(DescriptorKind kind) {
    switch (kind) {
    case DescriptorKind::Integer: return "integer";
    case DescriptorKind::Float: return "float";
    case DescriptorKind::UnitFloat: return "unit float";
    case DescriptorKind::Boolean: return "boolean";
    case DescriptorKind::Enumerated: return "enumerated";
    case DescriptorKind::Text: return "text";
    case DescriptorKind::Alias: return "alias";
    case DescriptorKind::Class: return "class";
    case DescriptorKind::Object: return "object";
    case DescriptorKind::Count: return "count";
    case DescriptorKind::SimpleReference: return "reference";
    }
    return "";
}

bool KindFromName(const std::string& name, DescriptorKind& kind) {
    for (int k = 0; k <= int(DescriptorKind::SimpleReference); ++k)
        if (name == KindName(DescriptorKind(k))) {
            kind = DescriptorKind(k);
            return true;
        }
    return false;
}

void JsonString(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                // Text is 8-bit ANSI; each byte travels as its own code point.
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                out += esc;
            } else {
                out += char(c);
            }
        }
    }
    out += '"';
}

// Codes are written as their four characters when printable, else as 0x and eight digits.
void JsonCode(std::string& out, uint32_t code) {
    bool printable = true;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const int c = int((code >> shift) & 0xFF);
        printable = printable && c >= 0x20 && c < 0x7F;
    }
    if (printable) {
        JsonString(out, FourCCText(code));
    } else {
        char text[16];
        std::snprintf(text, sizeof text, "\"0x%08X\"", code);
        out += text;
    }
}

// JSON has no NaN or infinity; those travel as strings.
void JsonNumber(std::string& out, double v) {
    if (std::isnan(v)) {
        out += "\"nan\"";
    } else if (std::isinf(v)) {
        out += v > 0 ? "\"inf\"" : "\"-inf\"";
    } else {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", v);
        out += text;
    }
}

// Items of nested objects are not the filter's keys, so only the top level is named.
void JsonItems(std::string& out, const std::vector<DescriptorItem>& items, int indent, bool top_level) {
    const std::string pad(size_t(indent), ' ');
    out += "[";
    for (size_t i = 0; i < items.size(); ++i) {
        const DescriptorItem& item = items[i];
        out += i ? ",\n" : "\n";
        out += pad + "  {\"key\": ";
        JsonCode(out, item.key);
        const char* name = top_level ? RecordedKeyName(item.key) : nullptr;
        out += ", \"name\": ";
        JsonString(out, name ? name : "");
        out += ", \"type\": ";
        JsonString(out, KindName(item.kind));
        switch (item.kind) {
        case DescriptorKind::Integer:
        case DescriptorKind::Count:
            out += ", \"value\": " + (item.kind == DescriptorKind::Count ? std::to_string(uint32_t(item.integer))
                                                                         : std::to_string(item.integer));
            break;
        case DescriptorKind::Boolean:
            out += item.integer ? ", \"value\": true" : ", \"value\": false";
            break;
        case DescriptorKind::UnitFloat:
            out += ", \"unit\": ";
            JsonCode(out, item.unit);
            [[fallthrough]];
        case DescriptorKind::Float:
            out += ", \"value\": ";
            JsonNumber(out, item.number);
            break;
        case DescriptorKind::Enumerated:
            out += ", \"enum\": ";
            JsonCode(out, item.type);
            out += ", \"value\": ";
            JsonCode(out, item.value);
            break;
        case DescriptorKind::Text:
        case DescriptorKind::Alias:
            out += ", \"value\": ";
            JsonString(out, item.text);
            break;
        case DescriptorKind::Class:
            out += ", \"value\": ";
            JsonCode(out, item.type);
            break;
        case DescriptorKind::Object:
            out += ", \"class\": ";
            JsonCode(out, item.type);
            out += ", \"value\": ";
            JsonItems(out, item.object, indent + 4, false);
            break;
        case DescriptorKind::SimpleReference:
            out += ", \"class\": ";
            JsonCode(out, item.type);
            out += ", \"form\": ";
            JsonCode(out, item.value);
            out += ", \"value\": ";
            JsonString(out, item.text);
            out += ", \"index\": " + std::to_string(item.integer) + ", \"ref_type\": ";
            JsonCode(out, item.ref_type);
            out += ", \"ref_value\": ";
            JsonCode(out, item.ref_value);
            break;
        }
        out += "}";
    }
    out += items.empty() ? "]" : "\n" + pad + "]";
}

// A parsed JSON value: just enough of the format for descriptor files.
struct Json {
    enum Type { Null, Bool, Number, String, Array, Object } type = Null;
    bool boolean = false;
    double number = 0;
    std::string text;                                  // String; a Number's own digits
    std::vector<Json> elements;                        // Array
    // Object, in file order: names and values side by side (a pair holding the type being
    // defined is not allowed by every standard library).
    std::vector<std::string> names;
    std::vector<Json> fields;

    const Json* Field(const char* name) const {
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name) return &fields[i];
        return nullptr;
    }
};

class JsonParser {
public:
    explicit JsonParser(const std::string& text) : s_(text) {}

    bool ParseDocument(Json& value, std::string& error) {
        if (!ParseValue(value, 0)) {
            error = error_ + " at byte " + std::to_string(pos_);
            return false;
        }
        SkipSpace();
        if (pos_ != s_.size()) {
            error = "unexpected text after the JSON value at byte " + std::to_string(pos_);
            return false;
        }
        return true;
    }

private:
    bool Fail(const char* why) {
        if (error_.empty()) error_ = why;
        return false;
    }
    void SkipSpace() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
            ++pos_;
    }
    bool Literal(const char* word) {
        const size_t n = std::strlen(word);
        if (s_.compare(pos_, n, word) != 0) return Fail("unknown word");
        pos_ += n;
        return true;
    }

    bool ParseValue(Json& v, int depth) {
        if (depth > kMaxDepth * 2 + 4) return Fail("nested too deeply");
        SkipSpace();
        if (pos_ >= s_.size()) return Fail("unexpected end of file");
        const char c = s_[pos_];
        if (c == '{') return ParseObject(v, depth);
        if (c == '[') return ParseArray(v, depth);
        if (c == '"') {
            v.type = Json::String;
            return ParseString(v.text);
        }
        if (c == 't' || c == 'f') {
            v.type = Json::Bool;
            v.boolean = c == 't';
            return Literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') {
            v.type = Json::Null;
            return Literal("null");
        }
        return ParseNumber(v);
    }

    bool ParseNumber(Json& v) {
        const size_t start = pos_;
        while (pos_ < s_.size() && std::strchr("+-0123456789.eE", s_[pos_])) ++pos_;
        v.text = s_.substr(start, pos_ - start);
        char* end = nullptr;
        v.number = std::strtod(v.text.c_str(), &end);
        if (v.text.empty() || !end || *end != '\0') return Fail("not a number");
        v.type = Json::Number;
        return true;
    }

    bool ParseString(std::string& out) {
        ++pos_;  // the opening quote
        out.clear();
        while (pos_ < s_.size()) {
            const char c = s_[pos_++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size()) break;
            const char e = s_[pos_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'u': {
                if (pos_ + 4 > s_.size()) return Fail("short \\u escape");
                unsigned code = 0;
                for (int i = 0; i < 4; ++i) {
                    const int d = HexDigit(s_[pos_++]);
                    if (d < 0) return Fail("bad \\u escape");
                    code = code * 16 + unsigned(d);
                }
                // Text is 8-bit; anything wider has no byte to become.
                if (code > 0xFF) return Fail("character outside the 8-bit range");
                out += char(code);
                break;
            }
            default: return Fail("bad escape");
            }
        }
        return Fail("unterminated string");
    }

    bool ParseArray(Json& v, int depth) {
        v.type = Json::Array;
        ++pos_;
        SkipSpace();
        if (pos_ < s_.size() && s_[pos_] == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            v.elements.emplace_back();
            if (!ParseValue(v.elements.back(), depth + 1)) return false;
            SkipSpace();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == ']') {
                ++pos_;
                return true;
            }
            return Fail("expected , or ] in a list");
        }
    }

    bool ParseObject(Json& v, int depth) {
        v.type = Json::Object;
        ++pos_;
        SkipSpace();
        if (pos_ < s_.size() && s_[pos_] == '}') {
            ++pos_;
            return true;
        }
        for (;;) {
            SkipSpace();
            if (pos_ >= s_.size() || s_[pos_] != '"') return Fail("expected a field name");
            std::string name;
            if (!ParseString(name)) return false;
            SkipSpace();
            if (pos_ >= s_.size() || s_[pos_] != ':') return Fail("expected :");
            ++pos_;
            v.names.push_back(std::move(name));
            v.fields.emplace_back();
            if (!ParseValue(v.fields.back(), depth + 1)) return false;
            SkipSpace();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == '}') {
                ++pos_;
                return true;
            }
            return Fail("expected , or } in an object");
        }
    }

    const std::string& s_;
    size_t pos_ = 0;
    std::string error_;
};

bool CodeFromJson(const Json* v, uint32_t& code) {
    if (!v || v->type != Json::String) return false;
    const std::string& t = v->text;
    if (t.size() == 4) {
        code = CodeOf(t);
        return true;
    }
    if (t.size() == 10 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        code = 0;
        for (size_t i = 2; i < 10; ++i) {
            const int d = HexDigit(t[i]);
            if (d < 0) return false;
            code = code * 16 + uint32_t(d);
        }
        return true;
    }
    return false;
}

bool IntegerFromJson(const Json* v, double min, double max, int64_t& value) {
    if (!v || v->type != Json::Number || v->number != std::floor(v->number) || v->number < min || v->number > max)
        return false;
    value = int64_t(v->number);
    return true;
}

bool DoubleFromJson(const Json* v, double& value) {
    if (!v) return false;
    if (v->type == Json::Number) {
        value = v->number;
        return true;
    }
    if (v->type != Json::String) return false;
    if (v->text == "nan") value = std::nan("");
    else if (v->text == "inf") value = HUGE_VAL;
    else if (v->text == "-inf") value = -HUGE_VAL;
    else return false;
    return true;
}

bool ItemsFromJson(const Json& list, std::vector<DescriptorItem>& items, int depth, std::string& error);

bool ItemFromJson(const Json& j, DescriptorItem& item, int depth, std::string& error) {
    const Json* type = j.Field("type");
    const Json* value = j.Field("value");
    if (j.type != Json::Object || !CodeFromJson(j.Field("key"), item.key)) {
        error = "an item needs a \"key\" of four characters or 0x and eight hex digits";
        return false;
    }
    const std::string where = "item \"" + FourCCText(item.key) + "\": ";
    if (!type || type->type != Json::String || !KindFromName(type->text, item.kind)) {
        error = where + "unknown \"type\"";
        return false;
    }
    int64_t whole = 0;
    bool ok = value != nullptr;
    switch (item.kind) {
    case DescriptorKind::Integer:
        ok = IntegerFromJson(value, INT32_MIN, INT32_MAX, whole);
        item.integer = int32_t(whole);
        break;
    case DescriptorKind::Count:
        ok = IntegerFromJson(value, 0, UINT32_MAX, whole);
        item.integer = int32_t(uint32_t(whole));
        break;
    case DescriptorKind::Boolean:
        ok = ok && value->type == Json::Bool;
        item.integer = ok && value->boolean ? 1 : 0;
        break;
    case DescriptorKind::UnitFloat:
        ok = CodeFromJson(j.Field("unit"), item.unit) && DoubleFromJson(value, item.number);
        break;
    case DescriptorKind::Float:
        ok = DoubleFromJson(value, item.number);
        break;
    case DescriptorKind::Enumerated:
        ok = CodeFromJson(j.Field("enum"), item.type) && CodeFromJson(value, item.value);
        break;
    case DescriptorKind::Text:
    case DescriptorKind::Alias:
        ok = ok && value->type == Json::String;
        if (ok) item.text = value->text;
        break;
    case DescriptorKind::Class:
        ok = CodeFromJson(value, item.type);
        break;
    case DescriptorKind::Object:
        if (!CodeFromJson(j.Field("class"), item.type) || !value) break;
        return ItemsFromJson(*value, item.object, depth + 1, error);
    case DescriptorKind::SimpleReference:
        ok = CodeFromJson(j.Field("class"), item.type) && CodeFromJson(j.Field("form"), item.value) && value &&
             value->type == Json::String && IntegerFromJson(j.Field("index"), INT32_MIN, INT32_MAX, whole) &&
             CodeFromJson(j.Field("ref_type"), item.ref_type) && CodeFromJson(j.Field("ref_value"), item.ref_value);
        if (ok) {
            item.text = value->text;
            item.integer = int32_t(whole);
        }
        break;
    }
    if (!ok) {
        error = where + "missing or unusable value for a " + KindName(item.kind);
        if (item.kind == DescriptorKind::Integer) error += " (a whole number that fits 32 bits)";
        return false;
    }
    return true;
}

bool ItemsFromJson(const Json& list, std::vector<DescriptorItem>& items, int depth, std::string& error) {
    if (depth > kMaxDepth) {
        error = "objects nested too deeply";
        return false;
    }
    if (list.type != Json::Array) {
        error = "expected a list of items";
        return false;
    }
    items.clear();
    for (const Json& j : list.elements) {
        DescriptorItem item;
        if (!ItemFromJson(j, item, depth, error)) return false;
        for (const DescriptorItem& seen : items)
            if (seen.key == item.key) {
                error = "key \"" + FourCCText(item.key) + "\" appears twice";
                return false;
            }
        items.push_back(std::move(item));
    }
    return true;
}

}  // namespace

std::string DescriptorToJson(const Descriptor& descriptor) {
    std::string out = "{\n  \"descriptor\": ";
    JsonItems(out, descriptor.items, 2, true);
    out += "\n}\n";
    return out;
}

bool DescriptorFromJson(const std::string& json, Descriptor& descriptor, std::string& error) {
    Json root;
    if (!JsonParser(json).ParseDocument(root, error)) return false;
    const Json* list = root.type == Json::Object ? root.Field("descriptor") : nullptr;
    if (!list) {
        error = "expected an object with a \"descriptor\" list";
        return false;
    }
    Descriptor parsed;
    if (!ItemsFromJson(*list, parsed.items, 0, error)) return false;
    descriptor = std::move(parsed);
    return true;
}

bool WriteDescriptorFile(const std::string& path, const Descriptor& descriptor, std::string& error) {
    const std::string json = DescriptorToJson(descriptor);
    if (!platform::WriteFileAtomically(path, json.data(), json.size())) {
        error = "cannot write \"" + path + "\"";
        return false;
    }
    return true;
}

bool ReadDescriptorFile(const std::string& path, Descriptor& descriptor, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes)) {
        error = "cannot read \"" + path + "\"";
        return false;
    }
    if (!DescriptorFromJson(std::string(bytes.begin(), bytes.end()), descriptor, error)) {
        error = "\"" + path + "\" is not a recorded descriptor: " + error;
        return false;
    }
    return true;
}

}  // namespace tw::host
