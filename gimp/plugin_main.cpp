// plug-in-tarnwell: Tarnwell 2 as a GIMP 2.10 filter (Filters > Light and Shadow). GIMP
// starts this program to learn the procedure (query) and to run it (run); the water itself
// comes from the Tarnwell plug-in module, driven through the substitute host's library.
#include <cstring>
#include <string>
#include <vector>

#include <libgimp/gimp.h>

#include "gimp/dialog.h"
#include "gimp/filter_apply.h"
#include "gimp/parameters.h"
#include "platform/platform.h"
#include "settings/cached_settings.h"
#include "settings/settings_file.h"

namespace {

using tw::gimp::ArgKind;

constexpr const char* kProcedure = "plug-in-tarnwell";
constexpr int kLeadingArgs = 3;  // run mode, image, drawable

GimpPDBArgType PdbType(ArgKind kind) {
    switch (kind) {
        case ArgKind::kFloat: return GIMP_PDB_FLOAT;
        case ArgKind::kInt: return GIMP_PDB_INT32;
        case ArgKind::kColour: return GIMP_PDB_COLOR;
        case ArgKind::kText: return GIMP_PDB_STRING;
    }
    return GIMP_PDB_INT32;
}

void Query() {
    std::vector<GimpParamDef> args = {
        {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"),
         const_cast<gchar*>("The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1), RUN-WITH-LAST-VALS (2) }")},
        {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("Input image")},
        {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("Input drawable")},
    };
    for (const tw::gimp::ProcedureArg& a : tw::gimp::ProcedureArgs())
        args.push_back({PdbType(a.kind), const_cast<gchar*>(a.name.c_str()), const_cast<gchar*>(a.description.c_str())});
    const std::string help = tw::gimp::ProcedureHelp();
    gimp_install_procedure(kProcedure, "Lying water below a horizon, reflecting the picture", help.c_str(),
                           "Quillmoth", "Quillmoth", "2024", "_Tarnwell 2...", "RGB*, GRAY*", GIMP_PLUGIN,
                           gint(args.size()), 0, args.data(), nullptr);
    gimp_plugin_menu_register(kProcedure, "<Image>/Filters/Light and Shadow");
}

// The procedure's filter values, as the adapter reads them.
std::vector<tw::gimp::ArgValue> ValuesOf(const GimpParam* param, int count) {
    std::vector<tw::gimp::ArgValue> values;
    const std::vector<tw::gimp::ProcedureArg>& args = tw::gimp::ProcedureArgs();
    for (int i = 0; i < count && size_t(i) < args.size(); ++i) {
        const GimpParam& p = param[kLeadingArgs + i];
        tw::gimp::ArgValue v;
        switch (args[size_t(i)].kind) {
            case ArgKind::kFloat: v.number = p.data.d_float; break;
            case ArgKind::kInt: v.integer = p.data.d_int32; break;
            case ArgKind::kColour:
                v.rgb[0] = p.data.d_color.r;
                v.rgb[1] = p.data.d_color.g;
                v.rgb[2] = p.data.d_color.b;
                break;
            case ArgKind::kText: v.text = p.data.d_string ? p.data.d_string : ""; break;
        }
        values.push_back(std::move(v));
    }
    return values;
}

// The parameters a script asked for: its values, or a settings file's instead (the other
// values are then not looked at).
bool ScriptParams(const GimpParam* param, int nparams, tw::RenderParams& params, std::string& error) {
    const std::vector<tw::gimp::ArgValue> values = ValuesOf(param, nparams - kLeadingArgs);
    const std::string file = tw::gimp::SettingsFileArg(values);
    if (file.empty()) return tw::gimp::ParamsFromArgs(values, params, error);
    tw::RenderParams loaded = tw::gimp::PlainParams();
    std::vector<uint8_t> bytes;
    if (!tw::platform::ReadWholeFile(file, bytes)) {
        error = "cannot read the settings file \"" + file + "\"";
        return false;
    }
    if (bytes.size() < 4 || !tw::LoadSettings(file, loaded, nullptr)) {
        error = "\"" + file + "\" is not a settings file";
        return false;
    }
    params = loaded;
    return true;
}

// The values the dialog opens with: the plug-in's cached settings of its last applied run
// (from GIMP, the command line or another editor; the file the Windows module keeps), or the
// plain ones before any run. The cache keeps every value as it rendered.
tw::RenderParams LastParams() {
    tw::RenderParams params = tw::gimp::PlainParams();
    tw::RenderParams cached = params;
    if (tw::LoadCachedSettings(cached)) params = cached;
    return params;
}

GimpPDBStatusType Run(const GimpParam* param, int nparams, std::string& error) {
    if (nparams < kLeadingArgs) {
        error = "the procedure needs a run mode, an image and a drawable";
        return GIMP_PDB_CALLING_ERROR;
    }
    const GimpRunMode mode = GimpRunMode(param[0].data.d_int32);
    const gint32 drawable = param[2].data.d_drawable;

    // The parameters: a script's or the dialog's, handed over as a recorded action. Repeat
    // hands over none, so the plug-in loads the settings it cached after its last applied
    // run, which render exactly as that run did.
    tw::RenderParams params = tw::gimp::PlainParams();
    const bool repeat = mode == GIMP_RUN_WITH_LAST_VALS;
    if (mode == GIMP_RUN_NONINTERACTIVE && !ScriptParams(param, nparams, params, error))
        return GIMP_PDB_CALLING_ERROR;

    tw::host::PluginModule module;
    if (!tw::gimp::LoadTarnwellModule(module, error)) return GIMP_PDB_EXECUTION_ERROR;
    if (mode == GIMP_RUN_INTERACTIVE) {
        params = LastParams();
        if (!tw::gimp::RunDialog(drawable, params)) return GIMP_PDB_CANCEL;
    }
    const tw::host::Descriptor action = tw::gimp::ActionFor(params);
    if (!tw::gimp::ApplyToDrawable(module.entry, drawable, repeat ? nullptr : &action, error))
        return GIMP_PDB_EXECUTION_ERROR;
    if (mode != GIMP_RUN_NONINTERACTIVE) gimp_displays_flush();
    return GIMP_PDB_SUCCESS;
}

void RunProcedure(const gchar*, gint nparams, const GimpParam* param, gint* nreturn_vals, GimpParam** return_vals) {
    static GimpParam values[2];
    static std::string message;
    gegl_init(nullptr, nullptr);
    message.clear();
    const GimpPDBStatusType status = Run(param, nparams, message);
    values[0].type = GIMP_PDB_STATUS;
    values[0].data.d_status = status;
    *return_vals = values;
    *nreturn_vals = 1;
    if (status != GIMP_PDB_SUCCESS && status != GIMP_PDB_CANCEL && !message.empty()) {
        // GIMP shows this second value as the error: in the error console, or to the script.
        message = "Tarnwell 2: " + message;
        values[1].type = GIMP_PDB_STRING;
        values[1].data.d_string = const_cast<gchar*>(message.c_str());
        *nreturn_vals = 2;
    }
}

}  // namespace

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, Query, RunProcedure};

MAIN()
