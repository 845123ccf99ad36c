#include "convui/conv_windows.h"

TConvForm* ConvForm = nullptr;
