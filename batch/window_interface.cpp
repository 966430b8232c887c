#include "batch/window_interface.h"

namespace mojing {

const std::string& DefaultMessageCaption() {
    static const std::string caption = "\xD0\xC5\xCF\xA2\xA3\xBA";  // 信息： in GBK
    return caption;
}

}  // namespace mojing
