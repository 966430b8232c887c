#include "tests/app/test_window.h"

#include "batch/name_lists.h"

namespace mojing::test {

std::vector<std::string> PendingItems() {
    std::vector<std::string> items;
    const std::size_t count = PendingNames().Count();
    for (std::size_t position = 1; position <= count; ++position) {
        items.push_back(PendingNames().Item(position));
    }
    return items;
}

}  // namespace mojing::test
