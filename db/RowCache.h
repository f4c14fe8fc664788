#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace orvelle::db {

// Fetched rows, each a fixed-size record, kept in fetch order. Room grows by a whole chunk
// of rows at a time, and a new chunk never moves the rows already fetched: a long result
// costs one allocation per chunk and no copying.
class RowCache {
public:
    void Reset(std::size_t rowSize, std::size_t chunkRows) {
        Release();
        rowSize_ = rowSize;
        chunkRows_ = chunkRows == 0 ? 1 : chunkRows;
    }

    void Release() {
        chunks_.clear();
        count_ = 0;
    }

    // Room for one more row, adding a chunk when the last one is full. The row counts only
    // once Commit() is called.
    char* NextSlot() {
        if (count_ == CapacityRows()) {
            chunks_.emplace_back(new char[chunkRows_ * rowSize_]);
        }
        return Slot(count_);
    }
    void Commit() { ++count_; }

    std::size_t Count() const { return count_; }
    std::size_t CapacityRows() const { return chunks_.size() * chunkRows_; }
    const char* Row(std::size_t index) const { return Slot(index); }

private:
    char* Slot(std::size_t index) const {
        return chunks_[index / chunkRows_].get() + index % chunkRows_ * rowSize_;
    }

    std::vector<std::unique_ptr<char[]>> chunks_;
    std::size_t rowSize_ = 0;
    std::size_t chunkRows_ = 1000;
    std::size_t count_ = 0;
};

} // namespace orvelle::db
