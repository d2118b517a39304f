#include "resources/terminology_resource.h"

#include "hostapi/host_constants.h"
#include "hostapi/resource_bytes.h"
#include "params/blend_mode_names.h"
#include "params/script_keys.h"

namespace tw::resources {

std::vector<uint8_t> TerminologyBytes() {
    std::vector<uint8_t> bytes;
    ResourceBytes w{bytes};
    w.u16(1);  // the leading word every Windows host expects before the header

    // Header: format version, language and script, one suite.
    w.u8(1);
    w.u8(1);
    w.u16(0);
    w.u16(0);
    w.u16(1);

    // The suite, with its one event.
    w.pascal("Quillmoth");
    w.pascal("Tarnwell 2");
    w.u32(kScriptEventCode);
    w.u16(1);  // level
    w.u16(1);  // version
    w.u16(1);  // events

    w.pascal("Tarnwell 2");
    w.pascal("Draws lying water");
    w.u32(kScriptEventCode);  // class
    w.u32(kScriptEventCode);  // id
    // No reply, and the image as direct parameter; hosts read both descriptions as empty.
    w.u32(noReply);
    w.pascal("");
    w.u16(0);
    w.u32(typeImageReference);
    w.pascal("");
    w.u16(0xB000);
    w.u16(kScriptKeyCount);
    for (const ScriptKey& k : kScriptKeys) {
        w.pascal(k.name);
        w.u32(ScriptKeyCode(k));
        w.u32(ScriptKeyType(k));
        w.pascal(k.name);
        w.u16(ScriptKeyFlags(k));
    }

    w.u16(0);  // classes
    w.u16(0);  // comparison operators
    w.u16(1);  // enumerations

    // Modes 60 and 61 came after the terminology was published and are not listed; their
    // codes still read and write.
    const BlendModeInfo* modes = blendModeTable();
    int listed = 0;
    for (int i = 0; i < kBlendModeCount; ++i) listed += modes[i].in_terminology;
    w.u32(kGlueEnumType);
    w.u16(uint16_t(listed));
    for (int i = 0; i < kBlendModeCount; ++i) {
        if (!modes[i].in_terminology) continue;
        w.pascal(modes[i].script_name);
        w.u32(modes[i].script_code);
        w.pascal(modes[i].script_name);
    }
    return bytes;
}

}  // namespace tw::resources
