// The owning list: the cursor walk, and who deletes the elements.
#include <gtest/gtest.h>

#include <memory>

#include "ntfs/NTFSSingleList.h"

using namespace Vorlaq;

namespace {

struct Counted {
    explicit Counted(int* alive) : alive_(alive) { ++*alive_; }
    virtual ~Counted() { --*alive_; }
    int* alive_;
};

}  // namespace

TEST(SingleList, WalkRemoveDetachTake) {
    int alive = 0;
    {
        NTFSSingleList<Counted> list;
        EXPECT_EQ(list.FindNextEntry(), nullptr);  // no walk begun
        EXPECT_EQ(list.FindFirstEntry(), nullptr);
        EXPECT_FALSE(list.InsertEntry(nullptr));
        Counted* a = new Counted(&alive);
        Counted* b = new Counted(&alive);
        ASSERT_TRUE(list.InsertEntry(a));
        ASSERT_TRUE(list.InsertEntry(b));
        EXPECT_EQ(list.GetCount(), 2);
        EXPECT_EQ(list.FindFirstEntry(), a);
        EXPECT_EQ(list.FindNextEntry(), b);
        EXPECT_EQ(list.FindNextEntry(), nullptr);
        EXPECT_EQ(list.FindNextEntry(), nullptr);

        list.DetachAll();  // forgotten, not deleted
        EXPECT_EQ(list.GetCount(), 0);
        EXPECT_EQ(alive, 2);
        ASSERT_TRUE(list.InsertEntry(a));
        ASSERT_TRUE(list.InsertEntry(b));
        auto taken = list.TakeAll();
        EXPECT_EQ(list.GetCount(), 0);
        ASSERT_EQ(taken.size(), 2u);
        EXPECT_EQ(taken[0].get(), a);
        taken.clear();
        EXPECT_EQ(alive, 0);

        list.InsertEntry(new Counted(&alive));
        list.RemoveAll();
        EXPECT_EQ(alive, 0);
        EXPECT_EQ(list.FindFirstEntry(), nullptr);
        EXPECT_FALSE(list.InsertEntry(std::unique_ptr<Counted>()));
        ASSERT_TRUE(list.InsertEntry(std::make_unique<Counted>(&alive)));
        EXPECT_EQ(list.GetCount(), 1);
    }
    EXPECT_EQ(alive, 0);  // the list's destructor deleted the last one
}
