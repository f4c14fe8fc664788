#pragma once

#include <cstddef>
#include <cstring>
#include <memory>

namespace orvelle::db {

// Fetched rows, each a fixed-size record, kept in fetch order in one block that grows by
// room for a whole chunk of rows at a time.
class RowCache {
public:
    void Reset(std::size_t rowSize, std::size_t chunkRows) {
        Release();
        rowSize_ = rowSize;
        chunkRows_ = chunkRows == 0 ? 1 : chunkRows;
    }

    void Release() {
        data_.reset();
        count_ = 0;
        capacity_ = 0;
    }

    // Room for one more row, growing the block when it is full. The row counts only once
    // Commit() is called.
    char* NextSlot() {
        if (count_ == capacity_) {
            const std::size_t capacity = capacity_ + chunkRows_;
            std::unique_ptr<char[]> grown(new char[capacity * rowSize_]);
            if (count_ != 0) {
                std::memcpy(grown.get(), data_.get(), count_ * rowSize_);
            }
            data_ = std::move(grown);
            capacity_ = capacity;
        }
        return data_.get() + count_ * rowSize_;
    }
    void Commit() { ++count_; }

    std::size_t Count() const { return count_; }
    std::size_t CapacityRows() const { return capacity_; }
    const char* Row(std::size_t index) const { return data_.get() + index * rowSize_; }

private:
    std::unique_ptr<char[]> data_;
    std::size_t rowSize_ = 0;
    std::size_t chunkRows_ = 1000;
    std::size_t count_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace orvelle::db
