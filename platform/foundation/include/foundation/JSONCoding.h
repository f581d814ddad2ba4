#pragma once

// What a model file includes: the field description, the decoder and the encoder.
#include "foundation/JSONDecoder.h"
#include "foundation/JSONEncoder.h"
#include "foundation/JSONFields.h"
