#include "BlobReader.h"
#include "Database.h"
#include "Errors.h"
#include "Query.h"
#include "QueryImpl.h"
#include "StatusVector.h"
#include "Transaction.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

namespace orvelle::db {

namespace {

// The longest blob read whole into one text; longer ones are refused, or streamed.
constexpr std::uint64_t kLargestText = std::uint64_t(1) << 30;
// How much more room a blob of unannounced length gets each time it fills what it has.
constexpr std::size_t kUnannouncedStep = std::size_t(1) << 20;

std::int64_t PowerOfTen(int exponent) {
    std::int64_t value = 1;
    for (int i = 0; i < exponent && i < 18; ++i) {
        value *= 10;
    }
    return value;
}

// A whole number with its scale applied, rounded half away from zero; nullopt when it does
// not fit 64 bits.
std::optional<std::int64_t> ScaledWhole(std::int64_t raw, int scale) {
    if (scale >= 0) {
        const std::int64_t factor = PowerOfTen(scale);
        if (raw != 0 && (raw > std::numeric_limits<std::int64_t>::max() / factor ||
                         raw < std::numeric_limits<std::int64_t>::min() / factor)) {
            return std::nullopt;
        }
        return raw * factor;
    }
    const std::int64_t divisor = PowerOfTen(-scale);
    std::int64_t whole = raw / divisor;
    const std::int64_t rest = raw % divisor;
    if (rest * 2 >= divisor) {
        ++whole;
    } else if (rest * 2 <= -divisor) {
        --whole;
    }
    return whole;
}

bool FitsInt32(std::int64_t value) {
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

std::string ScaledToString(std::int64_t raw, int scale) {
    if (scale >= 0) {
        return raw == 0 ? "0"
                        : std::to_string(raw) + std::string(static_cast<std::size_t>(scale), '0');
    }
    const std::int64_t divisor = PowerOfTen(-scale);
    const std::uint64_t magnitude =
        raw < 0 ? static_cast<std::uint64_t>(-(raw + 1)) + 1 : static_cast<std::uint64_t>(raw);
    std::string fraction = std::to_string(magnitude % static_cast<std::uint64_t>(divisor));
    fraction.insert(0, static_cast<std::size_t>(-scale) - fraction.size(), '0');
    return (raw < 0 ? "-" : "") + std::to_string(magnitude / static_cast<std::uint64_t>(divisor)) +
           "." + fraction;
}

std::int64_t ReadRawInteger(const ColumnLayout& column, const char* data) {
    switch (column.type) {
    case SQL_SHORT: {
        std::int16_t v;
        std::memcpy(&v, data, sizeof v);
        return v;
    }
    case SQL_LONG: {
        std::int32_t v;
        std::memcpy(&v, data, sizeof v);
        return v;
    }
    default: {
        std::int64_t v;
        std::memcpy(&v, data, sizeof v);
        return v;
    }
    }
}

double ReadFloat(const ColumnLayout& column, const char* data) {
    if (column.type == SQL_FLOAT) {
        float v;
        std::memcpy(&v, data, sizeof v);
        return v;
    }
    double v;
    std::memcpy(&v, data, sizeof v);
    return v;
}

std::string ReadText(const ColumnLayout& column, const char* data) {
    const std::size_t capacity = static_cast<unsigned short>(column.length);
    if (column.type == SQL_VARYING) {
        unsigned short length;
        std::memcpy(&length, data, sizeof length);
        const std::size_t bytes = std::min<std::size_t>(length, capacity);
        const char* text = data + 2;
        const void* nul = std::memchr(text, '\0', bytes);
        return std::string(text, nul != nullptr ? static_cast<const char*>(nul) - text : bytes);
    }
    const void* nul = std::memchr(data, '\0', capacity);
    return std::string(data, nul != nullptr ? static_cast<const char*>(nul) - data : capacity);
}

} // namespace

bool Field::IsNull() const {
    const Query::Impl& d = *query_.impl_;
    const char* row = d.CurrentRow();
    if (row == nullptr) {
        return true;
    }
    const ColumnLayout& column = d.columns[static_cast<std::size_t>(index_)];
    if (!column.nullable) {
        return false;
    }
    short indicator;
    std::memcpy(&indicator, row + column.indicatorOffset, sizeof indicator);
    return indicator < 0;
}

std::int32_t Field::AsInteger() const {
    if (IsNull()) {
        return 0;
    }
    const Query::Impl& d = *query_.impl_;
    const ColumnLayout& column = d.columns[static_cast<std::size_t>(index_)];
    const char* data = d.CurrentRow() + column.dataOffset;
    // A value that does not fit is refused, never cut: a wrapped id would name another entry.
    switch (column.type) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
        const std::int64_t raw = ReadRawInteger(column, data);
        const std::optional<std::int64_t> whole = ScaledWhole(raw, column.scale);
        if (!whole || !FitsInt32(*whole)) {
            throw EDatabaseError(query_.Name() + ": Field '" + name_ + "' holds " +
                                 ScaledToString(raw, column.scale) +
                                 ", which does not fit a 32-bit integer");
        }
        return static_cast<std::int32_t>(*whole);
    }
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
        const double value = ReadFloat(column, data);
        if (std::isnan(value)) {
            return 0;
        }
        const double rounded = std::round(value);
        if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
              rounded <= std::numeric_limits<std::int32_t>::max())) {
            throw EDatabaseError(query_.Name() + ": Field '" + name_ + "' holds " + AsString() +
                                 ", which does not fit a 32-bit integer");
        }
        return static_cast<std::int32_t>(rounded);
    }
    case SQL_BOOLEAN:
        return data[0] != 0 ? 1 : 0;
    default:
        break;
    }
    // Text and blobs: the number they spell.
    const std::string text = AsString();
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') {
        --end;
    }
    const std::string number = text.substr(begin, end - begin);
    char* stop = nullptr;
    errno = 0;
    const long long value = std::strtoll(number.c_str(), &stop, 10);
    if (number.empty() || *stop != '\0' || errno != 0 ||
        value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        throw EDatabaseError("'" + text + "' is not a valid integer value");
    }
    return static_cast<std::int32_t>(value);
}

namespace {

// A number, a text or a truth value as text; nullopt for a blob or a kind with no text.
std::optional<std::string> ValueAsString(const ColumnLayout& column, const char* data) {
    switch (column.type) {
    case SQL_TEXT:
    case SQL_VARYING:
        return ReadText(column, data);
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        return ScaledToString(ReadRawInteger(column, data), column.scale);
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.15g", ReadFloat(column, data));
        return std::string(buffer);
    }
    case SQL_BOOLEAN:
        return std::string(data[0] != 0 ? "True" : "False");
    default:
        return std::nullopt;
    }
}

} // namespace

std::string Field::AsString() const {
    if (IsNull()) {
        return std::string();
    }
    Query::Impl& d = *query_.impl_;
    const ColumnLayout& column = d.columns[static_cast<std::size_t>(index_)];
    const char* data = d.CurrentRow() + column.dataOffset;
    if (std::optional<std::string> value = ValueAsString(column, data)) {
        return *std::move(value);
    }
    if (column.type != SQL_BLOB) {
        throw EDatabaseError(query_.Name() + ": Field '" + name_ +
                             "' holds a value that cannot be read as text");
    }
    const std::size_t key = d.current * d.columns.size() + static_cast<std::size_t>(index_);
    if (auto cached = d.blobs.find(key); cached != d.blobs.end()) {
        return std::string(cached->second.bytes.data(), cached->second.length);
    }
    const CachedBlob& cached = d.blobs.emplace(key, ReadBlob(data)).first->second;
    return std::string(cached.bytes.data(), cached.length);
}

CachedBlob Field::ReadBlob(const char* data) const {
    Query::Impl& d = *query_.impl_;
    ISC_QUAD blobId;
    std::memcpy(&blobId, data, sizeof blobId);
    BlobReader blob(d.api, query_.GetDatabase()->Handle(), query_.GetTransaction()->Handle(),
                    blobId);
    const std::optional<std::uint64_t> total = blob.TotalLength();
    const auto tooLong = [this](std::uint64_t bytes) {
        return EDatabaseError(query_.Name() + ": Field '" + name_ + "' holds " +
                              std::to_string(bytes >> 20) + " MB, more than " +
                              std::to_string(kLargestText >> 20) + " MB can be read as one text");
    };
    if (total && *total > kLargestText) {
        throw tooLong(*total);
    }
    // The bytes go into a buffer kept from earlier reads when there is one, so a large
    // document does not pay for fresh memory twice (here and in the text handed back).
    CachedBlob content{std::move(d.spareBlob), 0};
    d.spareBlob = std::string();
    try {
        if (total) {
            const auto announced = static_cast<std::size_t>(*total);
            if (content.bytes.size() < announced) {
                content.bytes.resize(announced);
            }
            content.length = blob.Read(content.bytes.data(), announced);
        } else {
            // No length announced: read on until the blob ends, never taking that for empty.
            for (std::size_t got = 1; got != 0;) {
                if (content.bytes.size() - content.length < kUnannouncedStep) {
                    content.bytes.resize(
                        std::max(content.bytes.size() * 2, content.length + kUnannouncedStep));
                }
                got = blob.Read(content.bytes.data() + content.length,
                                content.bytes.size() - content.length);
                content.length += got;
                if (content.length > kLargestText) {
                    throw tooLong(content.length);
                }
            }
        }
        blob.Close();
    } catch (...) {
        d.KeepSpare(std::move(content.bytes));
        throw;
    }
    return content;
}

void Field::StreamBlob(const std::function<void(const char*, std::size_t)>& sink) const {
    if (IsNull()) {
        return;
    }
    Query::Impl& d = *query_.impl_;
    const ColumnLayout& column = d.columns[static_cast<std::size_t>(index_)];
    const char* data = d.CurrentRow() + column.dataOffset;
    if (column.type != SQL_BLOB) {
        const std::string text = AsString();
        sink(text.data(), text.size());
        return;
    }
    ISC_QUAD blobId;
    std::memcpy(&blobId, data, sizeof blobId);
    BlobReader blob(d.api, query_.GetDatabase()->Handle(), query_.GetTransaction()->Handle(),
                    blobId);
    // Without an announced length the blob is read until it ends.
    std::uint64_t left = blob.TotalLength().value_or(~std::uint64_t{0});
    std::string buffer(std::size_t(1) << 20, '\0');
    while (left > 0) {
        const std::size_t got = blob.Read(
            buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size())));
        if (got == 0) {
            break;
        }
        sink(buffer.data(), got);
        left -= got;
    }
    blob.Close();
}

} // namespace orvelle::db
