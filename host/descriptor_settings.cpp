#include "host/descriptor_settings.h"

#include "params/parameter_text.h"
#include "params/settings_precision.h"
#include "params/script_keys.h"

namespace tw::host {
namespace {

DescriptorItem ItemOf(const RecordedItem& r) {
    DescriptorItem item;
    item.key = r.key;
    if (r.kind == RecordedItem::kFloat) {
        item.kind = DescriptorKind::Float;
        item.number = r.number;
    } else if (r.kind == RecordedItem::kEnumerated) {
        item.kind = DescriptorKind::Enumerated;
        item.type = kGlueEnumType;
        item.value = r.enum_value;
    } else {
        item.kind = DescriptorKind::Integer;
        item.integer = r.integer;
    }
    return item;
}

}  // namespace

bool AddSetting(Descriptor& descriptor, const std::string& assignment, std::string& error) {
    // The value is parsed into a record and taken back out as the plug-in would record it,
    // so the items carry exactly what the record holds.
    RenderParams params{};
    SetPlainSettings(params);
    ParameterTarget target;
    if (!SetParameterText(params, assignment, target, error)) return false;
    for (const RecordedItem& r : RecordedItems(params))
        if (ScriptKeyCarries(r.key, *target.parameter, target.component)) descriptor.Put(ItemOf(r));
    return true;
}

void AddParameters(Descriptor& descriptor, const RenderParams& params) {
    RenderParams p = params;
    RefreshLegacyMirrors(p);  // the legacy integers must agree with their sliders
    RoundToSettingsPrecision(p);  // the action carries what a settings file would keep
    for (const RecordedItem& r : RecordedItems(p)) descriptor.Put(ItemOf(r));
}

}  // namespace tw::host
