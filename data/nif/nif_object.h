// The NIF block base classes NiObject, NiObjectNET and NiAVObject, and the block reader type.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/nif/nif_types.h"

namespace tarkeep::data {

class NifReader;

// Root of every block. Blocks are plain data holders owned through this class; users
// tell them apart with dynamic_cast and by type_name.
struct NiObject {
    virtual ~NiObject() = default;
    bool operator==(const NiObject&) const = default;

    std::string type_name;  // as in the file (several names share one class)
    std::uint32_t block_index = 0;
    std::size_t offset = 0;  // file offset of the block's data, just after its separator
};

struct NiObjectNET : NiObject {
    bool operator==(const NiObjectNET&) const = default;

    std::string name;
    std::vector<NifRef> extra_data;
    NifRef controller = kNoRef;
};

struct NiAVObject : NiObjectNET {
    bool operator==(const NiAVObject&) const = default;

    std::uint16_t flags = 0;
    NifVec3 translation;
    NifMatrix33 rotation;
    float scale = 1;
    std::vector<NifRef> properties;
    NifRef collision = kNoRef;
};

// Block readers create their block and fill it; base-class fields come first.
using NifBlockReader = std::unique_ptr<NiObject> (*)(NifReader&);

void read_object_net_fields(NifReader& reader, NiObjectNET& block);
void read_av_object_fields(NifReader& reader, NiAVObject& block);

}  // namespace tarkeep::data
