// Every NIF block class and reader.
#pragma once
#include "data/nif/nif_controllers.h"
#include "data/nif/nif_extra_data.h"
#include "data/nif/nif_geometry.h"
#include "data/nif/nif_keyframes.h"
#include "data/nif/nif_nodes.h"
#include "data/nif/nif_object.h"
#include "data/nif/nif_particles.h"
#include "data/nif/nif_properties.h"
#include "data/nif/nif_skin.h"
#include "data/nif/nif_textures.h"
