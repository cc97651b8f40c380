#include "common/filter.h"
