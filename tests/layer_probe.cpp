// Built only by the test of the layers: a file of the FLZ0 floor that
// reaches up to the bundle floor (LAYER_UP), or only down to its own and
// the common floor. The first must not compile, the second must.
#ifdef LAYER_UP
#include "bundle.hpp"
#endif
#include "flz0.hpp"
#include "failure.hpp"

int layer_probe()
{
    return static_cast<int>(kRingSize);
}
