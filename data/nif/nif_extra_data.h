// Extra data blocks. They derive from NiObject and carry their own name.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "data/nif/nif_object.h"

namespace tarkeep::data {

struct NiExtraData : NiObject {
    bool operator==(const NiExtraData&) const = default;

    std::string name;
};

struct NiStringExtraData : NiExtraData {
    bool operator==(const NiStringExtraData&) const = default;

    std::string string;
};

struct NifTextKey {
    float time = 0;
    std::string value;
    bool operator==(const NifTextKey&) const = default;
};

struct NiTextKeyExtraData : NiExtraData {
    bool operator==(const NiTextKeyExtraData&) const = default;

    std::vector<NifTextKey> keys;
};

struct NiBooleanExtraData : NiExtraData {
    bool operator==(const NiBooleanExtraData&) const = default;

    std::uint8_t value = 0;
};

struct NiIntegerExtraData : NiExtraData {
    bool operator==(const NiIntegerExtraData&) const = default;

    std::uint32_t value = 0;
};

struct NiFloatExtraData : NiExtraData {
    bool operator==(const NiFloatExtraData&) const = default;

    float value = 0;
};

std::unique_ptr<NiObject> read_ni_string_extra_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_text_key_extra_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_boolean_extra_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_integer_extra_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_float_extra_data(NifReader& reader);

}  // namespace tarkeep::data
