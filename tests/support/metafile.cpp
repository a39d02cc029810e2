#include "metafile.h"

#include <uemf_safe.h>

namespace kritzel::test {
namespace {

// Splits the bytes into records until the first fault, which it returns.
std::string Split(const QByteArray& bytes, std::vector<Record>& records) {
    const auto size = std::size_t(bytes.size());
    if (size < sizeof(U_EMRHEADER)) return "shorter than a header";
    std::size_t off = 0;
    while (off < size) {
        const std::string at = " at " + std::to_string(off);
        if (size - off < sizeof(U_EMR)) return "truncated record" + at;
        U_EMR emr;
        std::memcpy(&emr, bytes.constData() + off, sizeof emr);
        const std::string what = "record type " + std::to_string(emr.iType) + at;
        if (emr.nSize < sizeof(U_EMR) || emr.nSize % 4 != 0 || emr.nSize > size - off)
            return "bad size " + std::to_string(emr.nSize) + " of " + what;
        if (records.empty() != (emr.iType == U_EMR_HEADER))
            return records.empty() ? "no header first" : "a second header, " + what;
        if (!U_emf_record_safe(bytes.constData() + off)) return "libUEMF rejects " + what;
        if (!records.empty() && records.back().type == U_EMR_EOF)
            return "a record after the end record, " + what;
        records.push_back({emr.iType, off, emr.nSize});
        off += emr.nSize;
    }
    if (records.back().type != U_EMR_EOF) return "no end record last";
    if (records.size() < 2) return "only a header";
    U_EMRHEADER header;
    std::memcpy(&header, bytes.constData(), sizeof header);
    if (header.dSignature != U_ENHMETA_SIGNATURE) return "no EMF signature in the header";
    if (header.nBytes != size)
        return "the header counts " + std::to_string(header.nBytes) + " bytes of " +
               std::to_string(size);
    if (header.nRecords != records.size())
        return "the header counts " + std::to_string(header.nRecords) + " records of " +
               std::to_string(records.size());
    return {};
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
