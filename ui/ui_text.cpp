#include "ui/ui_text.h"

#include <QFile>
#include <QFont>

#include "engine/text/cp932.h"

namespace kompa::ui {

QString FromSjis(std::string_view sjis)
{
    const std::string utf8 = cp932::ToUtf8(sjis);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToSjis(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return cp932::FromUtf8(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString FromFileText(std::string_view bytes, TTextEncoding encoding)
{
    if (encoding == TTextEncoding::Utf8)
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return FromSjis(bytes);
}

QString FromFileName(const std::string& fileName)
{
    return QFile::decodeName(QByteArray(fileName.data(), static_cast<qsizetype>(fileName.size())));
}

std::string ToFileName(const QString& fileName)
{
    return QFile::encodeName(fileName).toStdString();
}

QFont GothicFont(int pixelSize)
{
    QFont font(QStringLiteral("IPAPGothic"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace kompa::ui
