// An enhanced metafile read back record by record, split by the project's own reader and each
// record checked by libUEMF's safe parser, so that the tests of the writer, of the recorded
// devices and of the random command sequences all judge a metafile by the same rules.
#pragma once

#include "geometrie/EmfReader.h"

#include <QByteArray>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <uemf.h>

#include <gtest/gtest.h>

namespace kritzel::test {

// One record: its type, where it starts and its size in bytes.
using Record = vergleich::EmfRecord;

// Why the bytes are not a well-formed enhanced metafile; empty when they are: a header first
// and an end record last and neither in between, every record whole, a multiple of four bytes
// and accepted by libUEMF, and a header that counts the file's bytes and records.
std::string EmfFault(const QByteArray& bytes);

// A finished metafile split into records. A structural fault is a fatal failure of the
// running test (check HasFatalFailure() before reading records).
class Emf {
public:
    explicit Emf(const QByteArray& bytes);
    explicit Emf(const std::vector<std::uint8_t>& bytes);

    const std::vector<Record>& records() const { return records_; }
    const QByteArray& bytes() const { return bytes_; }

    // A field of the record at a byte offset; reading past the record's end is a failure.
    template <class T> T Get(const Record& rec, std::size_t at = 0) const {
        EXPECT_LE(at + sizeof(T), rec.size) << "read past record of type " << rec.type;
        T value{};
        if (at + sizeof(T) <= rec.size)
            std::memcpy(&value, bytes_.constData() + rec.offset + at, sizeof(T));
        return value;
    }
    template <class T> T Get(std::size_t index, std::size_t at = 0) const {
        return Get<T>(records_.at(index), at);
    }
    U_EMRHEADER Header() const { return Get<U_EMRHEADER>(records_.front()); }

    std::vector<std::uint32_t> Types() const;
    std::vector<Record> OfType(std::uint32_t type) const;

private:
    QByteArray bytes_;
    std::vector<Record> records_;
};

// For EXPECT_TRUE: whether the bytes are a well-formed metafile, and if not, why.
::testing::AssertionResult IsEmf(const QByteArray& bytes);

} // namespace kritzel::test
