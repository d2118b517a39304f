// The plug-in property list ("PiPL", resource 16000) that tells an editor what the module
// is: a filter named "Tarnwell 2..." in the "Quillmoth" menu, its entry point, the image
// modes it works on, how it treats transparency and selections, and where its scripting
// terminology lives. The properties are said once, as data, in kTarnwellProperties; the
// build turns them into the resource bytes, and the tests read the built module back with
// the reader below, the way an editor scanning its plug-ins folder does.
//
// Windows layout: a leading word 1, a version word 0 and a property count, then properties
// {vendor, key, id, length, data}, each padded with zeros to four bytes. Integers and
// four-character codes are little-endian (so codes read backwards in a hex dump); strings
// and bit-string data are plain bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tw::resources {

// How the filter handles one of the host's seven filter cases (flat image without or with
// selection, floating selection, editable transparency without or with selection,
// protected transparency without or with selection).
struct FilterCaseInfo {
    uint8_t input_handling = 0;   // 1: the host passes the pixels as they are
    uint8_t output_handling = 0;  // 1: the host takes the result as it is
    uint8_t flags1 = 0;           // bit 0: do not copy the source to the destination first
    uint8_t flags2 = 0;           // always 0
};

// The scripting-terminology reference: which AETE resource describes the filter's keys.
struct TerminologyRef {
    int32_t version = 0;      // hosts only read the terminology for version 0
    uint32_t class_id = 0;
    uint32_t event_id = 0;
    int16_t terminology_id = 0;
    std::string scope;        // unique per vendor and product
};

constexpr int kFilterCaseCount = 7;

// Everything the property list says. The same record comes back out of the reader.
struct PluginProperties {
    uint32_t kind = 0;                 // '8BFM' for a filter
    std::string name;                  // the menu item
    std::string category;              // the sub-menu
    int32_t version = 0;               // interface version, major << 16 | minor
    std::string entry_point_x64;       // export the host calls on x64 Windows
    std::vector<int> image_modes;      // host image-mode numbers the filter supports
    std::string enable_rule;           // the host's expression deciding when it is enabled
    int enable_rule_copies = 0;        // how many 'enbl' properties carry it
    FilterCaseInfo filter_cases[kFilterCaseCount];
    TerminologyRef terminology;
};

// Tarnwell's own properties.
const PluginProperties& TarnwellProperties();

// The resource bytes for `properties`.
std::vector<uint8_t> EncodePropertyList(const PluginProperties& properties);

// One property as stored.
struct RawProperty {
    uint32_t vendor = 0;
    uint32_t key = 0;
    int32_t id = 0;
    std::vector<uint8_t> data;  // `length` bytes, padding included when the writer counted it
};

// Splits resource bytes into properties; false with a reason when the bytes are not a
// well-formed property list (wrong leading word, a property running past the end, ...).
bool ParsePropertyList(const uint8_t* bytes, size_t size, std::vector<RawProperty>& out,
                       std::string& error);

// Reads the properties Tarnwell writes back into a record (vendors other than '8BIM' are
// skipped, as hosts do); false with a reason on a malformed or unknown value.
bool DecodePluginProperties(const std::vector<RawProperty>& raw, PluginProperties& out,
                            std::string& error);

// The 'mode' property's bit string for a set of image modes: mode n is bit n counted from
// the most significant bit of the first byte.
std::vector<uint8_t> ImageModeBits(const std::vector<int>& modes);

}  // namespace tw::resources
