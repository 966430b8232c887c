#include "text/name_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace mojing {
namespace {

std::vector<std::string> Items(const NameList& list) {
    std::vector<std::string> items;
    for (std::size_t i = 1; i <= list.Count(); ++i) items.push_back(list.Item(i));
    return items;
}

using Names = std::vector<std::string>;

TEST(NameList, ItemsAreSpansOfOneStorage) {
    // Spans need not cover the storage; the bytes between them belong to no item.
    const NameList list("a\r\nbc\r\n\r\nd", {{0, 1}, {3, 2}, {7, 0}, {9, 1}});
    EXPECT_EQ(Items(list), (Names{"a", "bc", "", "d"}));
    EXPECT_EQ(list.Item(0), "");
    EXPECT_EQ(list.Item(5), "");
    EXPECT_EQ(list.Front(), "a");
}

TEST(NameList, SpanBeyondStorageReadsOnlyWhatIsThere) {
    const NameList list("abc", {{1, 10}, {7, 2}});
    EXPECT_EQ(Items(list), (Names{"bc", ""}));
}

TEST(NameList, RemoveHeadTakesFromFrontAndAppendAddsAtEnd) {
    NameList list;
    EXPECT_EQ(list.Front(), std::nullopt);
    list.RemoveHead();
    EXPECT_EQ(list.Count(), 0u);

    list.Append("one");
    list.Append("");
    list.Append("three");
    const std::string first = list.Item(1);
    list.RemoveHead();
    EXPECT_EQ(first, "one");  // a copy outlives the item
    EXPECT_EQ(Items(list), (Names{"", "three"}));
    list.Append("four");
    EXPECT_EQ(Items(list), (Names{"", "three", "four"}));

    list.RemoveHead();
    list.RemoveHead();
    list.RemoveHead();
    EXPECT_EQ(list.Count(), 0u);
    list.Append("again");
    EXPECT_EQ(Items(list), (Names{"again"}));
}

TEST(NameList, LongDrainWhileAppendingKeepsOrder) {
    NameList list;
    std::size_t nextIn = 0;
    std::size_t nextOut = 0;
    // Many more removals than live items, so the dead front is dropped several times.
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 1000; ++i) list.Append("name-" + std::to_string(nextIn++));
        for (int i = 0; i < 900; ++i) {
            ASSERT_EQ(list.Item(1), "name-" + std::to_string(nextOut++));
            list.RemoveHead();
        }
        ASSERT_EQ(list.Count(), nextIn - nextOut);
        ASSERT_EQ(list.Item(list.Count()), "name-" + std::to_string(nextIn - 1));
    }
}

TEST(NameList, ReplaceWithTakesTheOtherListsItems) {
    NameList list;
    list.Append("old");
    NameList fresh("xy", {{0, 1}, {1, 1}});
    fresh.RemoveHead();
    list.ReplaceWith(std::move(fresh));
    EXPECT_EQ(Items(list), (Names{"y"}));
    EXPECT_EQ(fresh.Count(), 0u);
    fresh.Append("z");
    EXPECT_EQ(Items(fresh), (Names{"z"}));

    list.ReplaceWith(std::move(list));
    EXPECT_EQ(Items(list), (Names{"y"}));
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
}

// The window thread replaces the list while a worker takes names off its front: every name the
// worker sees must be a whole name of one of the lists.
TEST(NameList, ReplacingWhileDrainingReadsOnlyWholeNames) {
    NameList list;
    std::atomic<bool> done = false;
    std::thread replacer([&] {
        for (int generation = 0; generation < 2000; ++generation) {
            std::string storage;
            std::vector<NameList::Span> spans;
            for (int i = 0; i < generation % 50; ++i) {
                const std::string name = "g" + std::to_string(generation) + "-" + std::to_string(i);
                spans.push_back({storage.size(), name.size()});
                storage += name + "\r\n";
            }
            list.ReplaceWith(NameList(std::move(storage), std::move(spans)));
        }
        done = true;
    });
    std::size_t seen = 0;
    while (!done) {
        if (const auto front = list.Front()) {
            ASSERT_EQ(front->front(), 'g') << *front;
            ASSERT_EQ(front->find('\r'), std::string::npos) << *front;
            ++seen;
        }
        // Reading past the end of a list that shrank in between gives empty text, never bytes
        // of another list.
        const std::string second = list.Item(2);
        ASSERT_TRUE(second.empty() || second.front() == 'g') << second;
        list.RemoveHead();
    }
    replacer.join();
    EXPECT_GT(seen, 0u);
}

}  // namespace
}  // namespace mojing
