#pragma once

#include <QString>
#include <string>
#include <string_view>

// The program's texts are GBK; the window shows QStrings. The two meet here only.
namespace mojing {

QString FromGbk(std::string_view gbk);
std::string ToGbk(const QString& text);

}  // namespace mojing
