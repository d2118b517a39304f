// libFuzzer target: any bytes read as a recorded-action file, the JSON that `apply --record`
// writes and `--replay` reads. Reading must never crash, hang or exhaust the stack. What is
// accepted must write back to the same text, survive the private form descriptor handles
// carry, and, handed to the plug-in as `--replay` hands it, render a small picture without
// a fault. The same bytes are also decoded as that private form directly.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/descriptor.h"
#include "host/document.h"
#include "host/host_session.h"
#include "shell/plugin_shell.h"

namespace {

using namespace tw::host;

// Twelve by nine, RGB 8-bit: big enough for water and a horizon, small enough to be quick.
Document SmallPicture() {
    Document doc;
    doc.width = 12;
    doc.height = 9;
    doc.colour_planes = 3;
    doc.depth = 8;
    doc.pixels.resize(doc.RowBytes() * size_t(doc.height));
    for (size_t i = 0; i < doc.pixels.size(); ++i) doc.pixels[i] = uint8_t(i * 37 + (i >> 3));
    return doc;
}

void Render(const Descriptor& replay) {
    Document doc = SmallPicture();
    HostSession session;
    ScriptedRun scripted;
    scripted.replay = &replay;
    RunOptions run;
    run.prepare_record = PrepareScriptedRun;
    run.prepare_context = &scripted;
    const RunOutcome outcome = session.Apply(tw::PluginDispatch, doc, {}, run);
    Descriptor recorded;
    const bool have_recorded = HeldDescriptor(scripted.host, recorded);
    ReleaseScriptingHost(scripted.host);
    // A run that went through records the parameters it used, as an editor expects.
    if (outcome.result == 0 && scripted.offered && !have_recorded) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Descriptor raw;
    DecodeDescriptor(data, size, raw);

    const std::string text(reinterpret_cast<const char*>(data), size);
    Descriptor parsed;
    std::string error;
    if (!DescriptorFromJson(text, parsed, error)) {
        if (error.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    const std::string written = DescriptorToJson(parsed);
    Descriptor again;
    if (!DescriptorFromJson(written, again, error) || DescriptorToJson(again) != written) __builtin_trap();
    const std::vector<uint8_t> handle_form = EncodeDescriptor(parsed);
    Descriptor decoded;
    if (!DecodeDescriptor(handle_form.data(), handle_form.size(), decoded) ||
        DescriptorToJson(decoded) != written)
        __builtin_trap();
    Render(parsed);
    return 0;
}
