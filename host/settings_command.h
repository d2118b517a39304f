// `tarnwell settings show|save`: reading and writing the plug-in's settings files (*.q8r)
// from the command line, with every value named by its label in the dialog.
#pragma once

#include <string>
#include <vector>

#include "host/commands.h"
#include "host/picture.h"
#include "params/render_params.h"

namespace tw::host {

int RunSettings(const Arguments& arguments);

// The pieces of the command, for its tests.

struct SettingsFacts {
    std::string file;
    bool picture = false;
    int picture_width = 0, picture_height = 0;
};
// Every value by the label --set takes for it (the parameter table's), as text lines or as
// one JSON object.
std::string DescribeSettings(const RenderParams& params, const SettingsFacts& facts, bool json);

// An image file's picture as 8-bit planes (three, or one for grey), the form the dialog's
// preview has when its picture is captured. False for an empty picture.
bool PlanesFromPicture(const Picture& picture, std::vector<uint8_t>& planes, int& plane_count);

}  // namespace tw::host
