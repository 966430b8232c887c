#include "app/gbk_text.h"

#include <QByteArray>

#include "text/code_page_conversion.h"

namespace mojing {

QString FromGbk(std::string_view gbk) {
    if (gbk.empty()) return {};
    const std::string utf8 = GbkToUtf8(gbk);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToGbk(const QString& text) {
    if (text.isEmpty()) return {};
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToGbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace mojing
