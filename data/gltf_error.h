// The failure type of the glTF export (shared with the PNG codec, which it embeds).
#pragma once
#include "image/png_error.h"
