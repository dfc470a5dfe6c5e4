#pragma once
// The tools' RGBA8 pictures and PNG files, which the tests use too.
#include "picture.h"
