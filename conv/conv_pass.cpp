// Filled in next; the declarations in conv_pass.h are final.
#include "conv_pass.h"
