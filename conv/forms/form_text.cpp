#include "conv/forms/form_text.h"

#include "engine/cp932.h"

namespace kompa {

QString UiText(std::string_view sjis)
{
    return QString::fromStdString(cp932::ToUtf8(sjis));
}

std::string SjisText(const QString& text)
{
    return cp932::FromUtf8(text.toStdString());
}

} // namespace kompa
