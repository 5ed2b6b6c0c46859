#pragma once
// What The Sleuth Kit said about an image, as prepare-images.sh left it: the image list, and per
// record the istat text, the icat bytes and the names fls lists.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace QuorretTest {

struct ImageEntry {
    std::string name;
    std::string kind;  // fixture, windows, pieces, mft
    std::string path;
    uint64_t offset = 0;
    bool tsk = false;
};

// The folder prepare-images.sh wrote; the image list, empty when it is missing.
std::string ImagesDir();
std::vector<ImageEntry> LoadImages();

struct TskRecord {
    bool readable = false;  // istat succeeded
    uint64_t baseRecord = 0;  // nonzero: an extension record of that base record
    bool allocated = false;
    bool directory = false;
    std::vector<std::wstring> names;  // every $FILE_NAME, in the order istat gives them
    std::vector<uint64_t> parents;
    bool hasStandardInfo = false;
    uint64_t created = 0, modified = 0, accessed = 0;  // UTC FILETIME
    bool hasData = false;  // an unnamed $DATA
    uint64_t dataSize = 0;
    uint64_t initSize = 0;
    bool dataNonResident = false;
};

TskRecord ParseIstat(const std::string& text);

// "2026-12-07 09:25:00.107369700 (UTC)" as a FILETIME; 0 for TSK's zero date.
std::optional<uint64_t> ParseTskTime(const std::string& text);

// Record number -> the names fls shows for it (its DOS names never appear there).
std::map<uint64_t, std::vector<std::wstring>> ParseFls(const std::string& text);

std::optional<std::string> ReadTextFile(const std::string& path);

}  // namespace QuorretTest
