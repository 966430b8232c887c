#pragma once

#include <string>
#include <string_view>

namespace mojing {

// Each byte as "%" and two capital hex digits. keepPlain leaves ASCII letters, digits, '-' and
// '.' as they are; asUtf8 encodes the UTF-8 form of the GBK text.
std::string PercentEncode(std::string_view text, bool keepPlain = false, bool asUtf8 = false);

}  // namespace mojing
