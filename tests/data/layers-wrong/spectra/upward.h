#pragma once

#include "stats/spectral_statistics.h"
