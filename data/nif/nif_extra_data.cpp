// Readers of the extra data blocks: string, text key, boolean, integer and float data.
#include "data/nif/nif_extra_data.h"

#include "data/nif/nif_reader.h"

namespace tarkeep::data {

namespace {

template <class T>
std::unique_ptr<T> make_extra_data(NifReader& reader) {
    auto extra = std::make_unique<T>();
    extra->name = reader.string();
    return extra;
}

}  // namespace

std::unique_ptr<NiObject> read_ni_string_extra_data(NifReader& reader) {
    auto extra = make_extra_data<NiStringExtraData>(reader);
    extra->string = reader.string();
    return extra;
}

std::unique_ptr<NiObject> read_ni_text_key_extra_data(NifReader& reader) {
    auto extra = make_extra_data<NiTextKeyExtraData>(reader);
    const std::uint32_t count = reader.u32();
    reader.require_elements(count, sizeof(float) + sizeof(std::uint32_t));
    extra->keys.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        NifTextKey& key = extra->keys.emplace_back();
        key.time = reader.f32();
        key.value = reader.string();
    }
    return extra;
}

std::unique_ptr<NiObject> read_ni_boolean_extra_data(NifReader& reader) {
    auto extra = make_extra_data<NiBooleanExtraData>(reader);
    extra->value = reader.u8();
    return extra;
}

std::unique_ptr<NiObject> read_ni_integer_extra_data(NifReader& reader) {
    auto extra = make_extra_data<NiIntegerExtraData>(reader);
    extra->value = reader.u32();
    return extra;
}

std::unique_ptr<NiObject> read_ni_float_extra_data(NifReader& reader) {
    auto extra = make_extra_data<NiFloatExtraData>(reader);
    extra->value = reader.f32();
    return extra;
}

}  // namespace tarkeep::data
