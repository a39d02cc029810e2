// The records of an enhanced metafile, split and checked: the one reader of the files the
// library's EmfWriter writes (the drawing read from them is ReadDrawing, Drawing.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kritzel::vergleich {

/// One record of a metafile: its type (EMR_*), where it starts in the file and its size in
/// bytes, header and fields together.
struct EmfRecord {
    std::uint32_t type = 0;
    std::size_t offset = 0;
    std::uint32_t size = 0;
};

/// Splits a metafile into its records. Returns why the bytes are not a well-formed enhanced
/// metafile, empty when they are: a header first with the EMF signature, an end record last
/// and neither in between, every record whole, a multiple of four bytes and at least as long
/// as its type's fixed fields, and a header that counts the file's bytes and records.
/// records gets the records up to the first fault.
std::string SplitRecords(std::span<const std::uint8_t> emf, std::vector<EmfRecord>& records);

} // namespace kritzel::vergleich
