#pragma once
// The owning list every collection of the volume reader uses: elements appended at the tail,
// walked with one internal cursor (so two walks over one list must not interleave), deleted with
// the list. Stored as a vector of owners: appends and walks are what the reader does most.
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace Vorlaq {

template <typename T>
class NTFSSingleList {
public:
    NTFSSingleList() = default;
    virtual ~NTFSSingleList() { RemoveAll(); }
    NTFSSingleList(const NTFSSingleList&) = delete;
    NTFSSingleList& operator=(const NTFSSingleList&) = delete;

    // Appends and takes ownership. False (the caller keeps the element) only when memory runs out.
    bool InsertEntry(T* entry) {
        if (!entry) return false;
        try {
            entries_.emplace_back(entry);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    // Appends; false (the element deleted) for a null one or when memory runs out.
    bool InsertEntry(std::unique_ptr<T> entry) {
        if (!entry) return false;
        try {
            entries_.push_back(std::move(entry));
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    // Deletes every element from the head on and forgets the cursor.
    void RemoveAll() {
        for (auto& entry : entries_) entry.reset();
        entries_.clear();
        cursor_ = kNoCursor;
    }

    // Forgets every element without deleting it: another owner has taken them over.
    void DetachAll() {
        for (auto& entry : entries_) (void)entry.release();
        entries_.clear();
        cursor_ = kNoCursor;
    }

    T* FindFirstEntry() {
        cursor_ = 0;
        return Current();
    }

    T* FindNextEntry() {
        if (cursor_ == kNoCursor) return nullptr;
        if (cursor_ < entries_.size()) ++cursor_;
        return Current();
    }

    // The head without moving the cursor; null for an empty list.
    T* GetFirstEntry() const { return entries_.empty() ? nullptr : entries_.front().get(); }

    int GetCount() const { return static_cast<int>(entries_.size()); }

    // Hands every element, in order, to the caller; the list is empty afterwards.
    std::vector<std::unique_ptr<T>> TakeAll() {
        std::vector<std::unique_ptr<T>> taken = std::move(entries_);
        entries_.clear();
        cursor_ = kNoCursor;
        return taken;
    }

private:
    static constexpr size_t kNoCursor = static_cast<size_t>(-1);

    T* Current() const { return cursor_ < entries_.size() ? entries_[cursor_].get() : nullptr; }

    std::vector<std::unique_ptr<T>> entries_;
    size_t cursor_ = kNoCursor;
};

}  // namespace Vorlaq
