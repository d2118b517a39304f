// Scripting descriptors on the host's side: the in-memory descriptor an editor keeps for a
// recorded action and the read and write procedures a plug-in calls to fill and read one.
// A user reaches descriptors through --set (host/descriptor_settings.h) and the JSON files
// of --record and --replay (host/descriptor_json.h).
//
// A descriptor reaches the plug-in as a handle of the host's handle procedures, holding the
// items in a private big-endian form; the plug-in disposes of it with those procedures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hostapi/descriptors.h"
#include "hostapi/filter_record.h"
#include "hostapi/host_procs.h"

namespace tw::host {

// The kinds of value an editor's descriptor holds.
enum class DescriptorKind : uint8_t {
    Integer,          // 'long'
    Float,            // 'doub'
    UnitFloat,        // 'UntF': a double with a unit code
    Boolean,          // 'bool'
    Enumerated,       // 'enum': an enumeration type and a value code
    Text,             // 'TEXT': bytes (also what put/getString carry)
    Alias,            // 'alis': a file alias, opaque bytes
    Class,            // 'type': a class code
    Object,           // 'Objc': a class code and a nested descriptor
    Count,            // a list length, unsigned
    SimpleReference,  // 'obj ': a reference to an element of the document
};

struct DescriptorItem {
    uint32_t key = 0;
    DescriptorKind kind = DescriptorKind::Integer;
    int32_t integer = 0;   // Integer, Boolean (0 or 1), Count (as unsigned), reference index
    double number = 0;     // Float, UnitFloat
    uint32_t unit = 0;     // UnitFloat's unit
    uint32_t type = 0;     // Enumerated's type, Class's and Object's class, reference's class
    uint32_t value = 0;    // Enumerated's value, reference's key form
    std::string text;      // Text, Alias, reference name
    uint32_t ref_type = 0, ref_value = 0;   // reference's key data
    std::vector<DescriptorItem> object;    // Object's items
};

// Items in the order they were put; a key appears at most once (a later put replaces).
struct Descriptor {
    std::vector<DescriptorItem> items;
    const DescriptorItem* Find(uint32_t key) const;
    void Put(const DescriptorItem& item);
};

// The type code getKey reports for an item ('long', 'doub', 'enum', ...).
uint32_t DescriptorTypeCode(const DescriptorItem& item);

// The private form kept inside descriptor handles. Decoding fails on anything malformed,
// truncated or nested too deeply.
std::vector<uint8_t> EncodeDescriptor(const Descriptor& descriptor);
bool DecodeDescriptor(const uint8_t* bytes, size_t size, Descriptor& descriptor);

// ---- The procedures offered to the plug-in ------------------------------------------------

// What `descriptorParameters` of the host's FilterRecord points at, with the records it
// refers to. One is current at a time: the write procedures take no context, so they find
// the handle procedures through the current one, as they find the session.
struct ScriptingHost {
    PIDescriptorParameters parameters{};
    ReadDescriptorProcs read_procs{};
    WriteDescriptorProcs write_procs{};
    const HandleProcs* handles = nullptr;
};

// Fills the records, with no descriptor and playInfo 0, and makes `host` current.
// `handles` must outlive it.
void InitScriptingHost(ScriptingHost& host, const HandleProcs* handles);
// Hands `descriptor` to the plug-in as the action to replay, replacing any held one.
// False when the handle cannot be had.
bool OfferDescriptor(ScriptingHost& host, const Descriptor& descriptor, int16_t play_info);
// The descriptor the plug-in left (after finish: the one it recorded). False when there is
// none or it is not one of ours.
bool HeldDescriptor(const ScriptingHost& host, Descriptor& descriptor);
// Disposes of the held descriptor handle and stops being current.
void ReleaseScriptingHost(ScriptingHost& host);

// One run of the filter as an editor replaying or recording an action: the procedures are
// always offered, so the plug-in records what it used; `replay`, when set, is handed over.
// `play_info` says whether the plug-in is to show its dialog: plugInDialogDontDisplay (0)
// for a replayed action, plugInDialogDisplay (1) for a run a person makes from the menu.
struct ScriptedRun {
    ScriptingHost host;
    const Descriptor* replay = nullptr;
    int16_t play_info = 0;
    bool offered = true;  // false when the replayed descriptor could not be handed over
};
// For RunOptions::prepare_record: serves `run` (a ScriptedRun) through the filled record,
// whose handle procedures then hold the descriptors.
void PrepareScriptedRun(FilterRecord& record, void* run);

}  // namespace tw::host
