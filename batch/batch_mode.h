#pragma once

namespace mojing {

enum class BatchMode { Normal, Proxy };

}  // namespace mojing
