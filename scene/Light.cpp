#include "scene/Light.hpp"

void kzoFreeLight(kzoLight&) {}
