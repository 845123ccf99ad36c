#include "conv/forms/help_link.h"

namespace kompa {

void ShowConversionHelp(QWidget*) {}

} // namespace kompa
