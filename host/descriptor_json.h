// Descriptor files in JSON, for `tarnwell apply --record` and `--replay`: one object per
// item with key, name (from the filter's terminology; empty for keys it does not list),
// type, value, and unit, enumeration type or class where the kind has one. Numbers are
// written so they read back to the same bits; NaN and infinities travel as strings.
#pragma once

#include <string>

#include "host/descriptor.h"

namespace tw::host {

std::string DescriptorToJson(const Descriptor& descriptor);
// False with a one-line reason (and `descriptor` unchanged) on anything that is not a
// descriptor file: bad JSON, unknown types, unusable values, repeated keys, deep nesting.
bool DescriptorFromJson(const std::string& json, Descriptor& descriptor, std::string& error);
bool WriteDescriptorFile(const std::string& path, const Descriptor& descriptor, std::string& error);
bool ReadDescriptorFile(const std::string& path, Descriptor& descriptor, std::string& error);

}  // namespace tw::host
