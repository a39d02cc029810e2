#include "metafile.h"

#include <uemf_safe.h>

#include <span>

namespace kritzel::test {
namespace {

// Splits the bytes into records with the project's own reader until the first fault, which
// it returns; libUEMF's safe parser then judges each record on its own, independently of it.
std::string Split(const QByteArray& bytes, std::vector<Record>& records) {
    const std::span<const std::uint8_t> data(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    std::string fault = vergleich::SplitRecords(data, records);
    for (const Record& r : records)
        if (!U_emf_record_safe(bytes.constData() + r.offset))
            return "libUEMF rejects record type " + std::to_string(r.type) + " at " +
                   std::to_string(r.offset);
    return fault;
}

} // namespace

std::string EmfFault(const QByteArray& bytes) {
    std::vector<Record> records;
    return Split(bytes, records);
}

Emf::Emf(const QByteArray& bytes) : bytes_(bytes) {
    const std::string fault = Split(bytes_, records_);
    if (!fault.empty()) {
        records_.clear();
        [&] { FAIL() << "not a valid metafile: " << fault; }();
    }
}

Emf::Emf(const std::vector<std::uint8_t>& bytes)
    : Emf(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()))) {}

std::vector<std::uint32_t> Emf::Types() const {
    std::vector<std::uint32_t> types;
    for (const Record& r : records_)
        types.push_back(r.type);
    return types;
}

std::vector<Record> Emf::OfType(std::uint32_t type) const {
    std::vector<Record> out;
    for (const Record& r : records_)
        if (r.type == type) out.push_back(r);
    return out;
}

::testing::AssertionResult IsEmf(const QByteArray& bytes) {
    const std::string fault = EmfFault(bytes);
    if (fault.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not a valid metafile: " << fault;
}

} // namespace kritzel::test
