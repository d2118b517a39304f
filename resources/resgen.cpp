// Build-time tool: writes the binary resources that the resource script includes, from the
// tables in code: the property list (PiPL), the scripting terminology (AETE) and the dialog
// templates (from the layout tables in ui/dialog_layout.cpp).
//
//   tw_resgen OUTPUT_FOLDER    writes OUTPUT_FOLDER/pipl.bin, OUTPUT_FOLDER/aete.bin (only
//                              when the build has the terminology table) and
//                              OUTPUT_FOLDER/dialogs.rc
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resources/dialog_script.h"
#include "resources/plugin_properties.h"

// The terminology bytes, from the scripting key table; empty when the build has no table.
std::vector<uint8_t> TerminologyResource();

namespace {

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "tw_resgen: cannot create %s\n", path.c_str());
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "tw_resgen: cannot write %s\n", path.c_str());
        std::remove(path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(argc == 2 ? stdout : stderr,
                     "usage: tw_resgen OUTPUT_FOLDER\n"
                     "Writes pipl.bin (the plug-in property list), aete.bin (the scripting\n"
                     "terminology) and dialogs.rc (the dialog templates) for the Windows\n"
                     "module's resource script.\n");
        return argc == 2 ? 0 : 2;
    }
    const std::string folder = argv[1];
    const auto pipl = tw::resources::EncodePropertyList(tw::resources::TarnwellProperties());
    const auto aete = TerminologyResource();
    const std::string script = tw::resources::DialogScript(tw::AllDialogTemplates());
    if (!WriteBytes(folder + "/pipl.bin", pipl)) return 1;
    if (!WriteBytes(folder + "/dialogs.rc", std::vector<uint8_t>(script.begin(), script.end())))
        return 1;
    return aete.empty() || WriteBytes(folder + "/aete.bin", aete) ? 0 : 1;
}
